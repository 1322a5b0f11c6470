#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/setup_platform.h"

namespace orvex::setup {

// A platform whose answers a test sets and which records every service
// called, in order, as "Service(argument)".
class FakeSetupPlatform final : public SetupPlatform {
 public:
  // Answers of a machine on which every check passes.
  uint16_t language_id = 1033;
  std::optional<VersionRecord> version = VersionRecord{2, 5, 1};
  // Registry values by "key|value name".
  std::map<std::string, std::string> registry = {{"SOFTWARE\\Microsoft\\DataAccess|FullInstallVer", "2.80.1022.0"}};
  std::optional<std::string> windows_directory = "C:\\WINDOWS";
  // Version resource values by file path, then by sub-block; a path that is missing has no resource.
  std::map<std::string, std::map<std::string, std::string>> files = {
      {"C:\\WINDOWS\\system32\\scrrun.dll",
       {{"\\VarFileInfo\\Translation", std::string("\x09\x04\xB0\x04", 4)},
        {"\\StringFileInfo\\040904B0\\FileVersion", std::string("5.6.0.8820\0", 11)}}}};
  std::optional<std::string> module_file_name = "C:\\dist\\Setup.exe";

  std::vector<std::string> calls;
  // Every message box shown, as text and caption.
  std::vector<std::pair<std::string, std::string>> message_boxes;

  void HideConsole() override { calls.push_back("HideConsole()"); }
  uint16_t UserDefaultLanguageId() override {
    calls.push_back("UserDefaultLanguageId()");
    return language_id;
  }
  std::optional<VersionRecord> Version() override {
    calls.push_back("Version()");
    return version;
  }
  std::optional<std::string> ReadMachineRegistryString(const std::string& key, const std::string& value_name) override {
    calls.push_back("ReadMachineRegistryString(" + key + "|" + value_name + ")");
    auto found = registry.find(key + "|" + value_name);
    if (found == registry.end()) return std::nullopt;
    return found->second;
  }
  std::optional<std::string> WindowsDirectory() override {
    calls.push_back("WindowsDirectory()");
    return windows_directory;
  }
  std::unique_ptr<FileVersionResource> ReadFileVersionResource(const std::string& path) override;
  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    calls.push_back("ShowMessageBox()");
    message_boxes.emplace_back(text, caption);
  }
  std::optional<std::string> ModuleFileName() override {
    calls.push_back("ModuleFileName()");
    return module_file_name;
  }
  void SetInstallerUiLevel(int level) override { calls.push_back("SetInstallerUiLevel(" + std::to_string(level) + ")"); }
  void InstallProduct(const std::string& package_path) override {
    calls.push_back("InstallProduct(" + package_path + ")");
  }

  // The queries made of version resources, in order.
  std::vector<std::string> version_queries;

  // The scripting runtime's resource, for tests that change its values.
  std::map<std::string, std::string>& ScriptingRuntime() { return files["C:\\WINDOWS\\system32\\scrrun.dll"]; }
};

class FakeFileVersionResource final : public FileVersionResource {
 public:
  FakeFileVersionResource(std::map<std::string, std::string> values, std::vector<std::string>& queries)
      : values_(std::move(values)), queries_(queries) {}
  std::optional<std::string> QueryValue(const std::string& sub_block) const override {
    queries_.push_back(sub_block);
    auto found = values_.find(sub_block);
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string>& queries_;
};

inline std::unique_ptr<FileVersionResource> FakeSetupPlatform::ReadFileVersionResource(const std::string& path) {
  calls.push_back("ReadFileVersionResource(" + path + ")");
  auto found = files.find(path);
  if (found == files.end()) return nullptr;
  return std::make_unique<FakeFileVersionResource>(found->second, version_queries);
}

}  // namespace orvex::setup
