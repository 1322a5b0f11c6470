#pragma once
#include "setup/setup_platform.h"

namespace orvex::setup {

// The Setup bootstrapper's services over the Win32 API and the Windows
// Installer library, through their single-byte ("A") entry points.
// Compiled for Windows only.
class WindowsSetupPlatform final : public SetupPlatform {
 public:
  WindowsSetupPlatform() = default;
  WindowsSetupPlatform(const WindowsSetupPlatform&) = delete;
  WindowsSetupPlatform& operator=(const WindowsSetupPlatform&) = delete;

  void HideConsole() override;
  uint16_t UserDefaultLanguageId() override;
  std::optional<VersionRecord> Version() override;
  std::optional<std::string> ReadMachineRegistryString(const std::string& key, const std::string& value_name) override;
  std::optional<std::string> WindowsDirectory() override;
  std::unique_ptr<FileVersionResource> ReadFileVersionResource(const std::string& path) override;
  void ShowMessageBox(const std::string& text, const std::string& caption) override;
  std::optional<std::string> ModuleFileName() override;
  void SetInstallerUiLevel(int level) override;
  void InstallProduct(const std::string& package_path) override;
};

}  // namespace orvex::setup
