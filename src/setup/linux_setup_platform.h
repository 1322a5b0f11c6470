#pragma once
#include <ostream>
#include <string>
#include <string_view>

#include "setup/setup_platform.h"

namespace orvex::setup {

// The Setup bootstrapper's services on Linux, reporting only what is true
// here: there is no Windows version record, registry, Windows directory or
// installer, so the operating-system check fails and its message is shown.
// The user's language comes from the LANG value given (nl_NL is Dutch, nl_BE
// and everything else English). A message box becomes the message on the
// error stream, converted from Windows-1252 to UTF-8 because terminals here
// read UTF-8 (a raw 0xEF byte would print as a replacement sign), followed
// by a line feed; the caption is left out. The console belongs to the user's
// terminal and is never hidden.
class LinuxSetupPlatform final : public SetupPlatform {
 public:
  // `error_output` must outlive this object.
  LinuxSetupPlatform(std::string lang, std::ostream& error_output);
  LinuxSetupPlatform(const LinuxSetupPlatform&) = delete;
  LinuxSetupPlatform& operator=(const LinuxSetupPlatform&) = delete;

  void HideConsole() override {}
  uint16_t UserDefaultLanguageId() override;
  std::optional<VersionRecord> Version() override { return std::nullopt; }
  std::optional<std::string> ReadMachineRegistryString(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> WindowsDirectory() override { return std::nullopt; }
  std::unique_ptr<FileVersionResource> ReadFileVersionResource(const std::string&) override { return nullptr; }
  void ShowMessageBox(const std::string& text, const std::string& caption) override;
  std::optional<std::string> ModuleFileName() override;
  void SetInstallerUiLevel(int) override {}
  void InstallProduct(const std::string&) override {}

 private:
  std::string lang_;
  std::ostream& error_output_;
};

// `text` read as Windows-1252 and written as UTF-8. The five bytes the code
// page leaves undefined map to the control characters of the same number, as
// Windows itself converts them.
[[nodiscard]] std::string Windows1252ToUtf8(std::string_view text);

}  // namespace orvex::setup
