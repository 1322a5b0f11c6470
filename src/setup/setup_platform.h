#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The platform services the Setup bootstrapper calls, one member per service,
// so that its decisions run and are tested on any platform. This component
// builds with the standard library alone: the same sources are compiled for
// Windows by the cross compiler. Texts are single-byte Windows-1252 strings.
namespace orvex::setup {

// The parts of the operating system's version record that the checks read.
struct VersionRecord {
  // 0 for the oldest 16-bit hosted family, 1 for the consumer family, 2 for the NT family.
  uint32_t platform_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

// A file's version resource, read whole from the file.
class FileVersionResource {
 public:
  virtual ~FileVersionResource() = default;

  // The raw bytes of the value at `sub_block` ("\VarFileInfo\Translation",
  // "\StringFileInfo\040904B0\FileVersion"); a string value may end in NULs.
  // nullopt when the resource has no such value.
  [[nodiscard]] virtual std::optional<std::string> QueryValue(const std::string& sub_block) const = 0;
};

class SetupPlatform {
 public:
  virtual ~SetupPlatform() = default;

  // Takes the program's own console window off the screen, when it has one of its own.
  virtual void HideConsole() = 0;
  // The user's default language identifier (1043 is Dutch as used in the Netherlands).
  [[nodiscard]] virtual uint16_t UserDefaultLanguageId() = 0;
  // nullopt when the platform has no such record to give.
  [[nodiscard]] virtual std::optional<VersionRecord> Version() = 0;
  // A string value under a machine-wide registry key; nullopt when the key or
  // the value is missing, unreadable or not a string.
  [[nodiscard]] virtual std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                                          const std::string& value_name) = 0;
  // The Windows directory ("C:\WINDOWS"); nullopt when it cannot be read.
  [[nodiscard]] virtual std::optional<std::string> WindowsDirectory() = 0;
  // The version resource of the file at `path`; null when the file is missing
  // or has none. The caller owns the result.
  [[nodiscard]] virtual std::unique_ptr<FileVersionResource> ReadFileVersionResource(const std::string& path) = 0;
  // Shows `text` in a message box with no owner window, caption `caption` and
  // a single OK button; returns when the user closes it.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption) = 0;
  // The full path of the running program; nullopt when it cannot be read whole.
  [[nodiscard]] virtual std::optional<std::string> ModuleFileName() = 0;
  // Sets the installer's user-interface level for this process, with no owner window.
  virtual void SetInstallerUiLevel(int level) = 0;
  // Installs the product from the package at `package_path`, with no command
  // line. Its result tells nothing the program acts on, so none is returned.
  virtual void InstallProduct(const std::string& package_path) = 0;
};

}  // namespace orvex::setup
