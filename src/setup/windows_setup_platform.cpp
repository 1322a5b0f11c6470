#include "setup/windows_setup_platform.h"

// The single-byte entry points are the ones wanted, whatever the build defines.
#undef UNICODE
#undef _UNICODE
#include <windows.h>
#include <msi.h>
#include <winver.h>

#include <cstring>
#include <utility>
#include <vector>

namespace orvex::setup {
namespace {

constexpr char kConsoleTitle[] = "Orvex Setup";
// Longer paths than the wide API allows cannot exist.
constexpr DWORD kLongestPath = 32768;

// Text up to the first NUL of a buffer the system filled.
std::string TextOf(const char* data, size_t size) { return std::string(data, strnlen(data, size)); }

class WindowsFileVersionResource final : public FileVersionResource {
 public:
  explicit WindowsFileVersionResource(std::vector<char> block) : block_(std::move(block)) {}

  std::optional<std::string> QueryValue(const std::string& sub_block) const override {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block_.data(), sub_block.c_str(), &value, &length) || value == nullptr) return std::nullopt;
    return std::string(static_cast<const char*>(value), length);
  }

 private:
  std::vector<char> block_;
};

}  // namespace

void WindowsSetupPlatform::HideConsole() {
  SetConsoleTitleA(kConsoleTitle);
  // The console's own handle replaces a lookup by title, which would spin for
  // ever when no window carries the title (no console, or a terminal that
  // shows consoles in tabs). A console shared with other processes is the
  // user's command prompt: hiding it would take it off the screen for good.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) != 1) return;
  if (HWND window = GetConsoleWindow()) ShowWindow(window, SW_HIDE);
}

uint16_t WindowsSetupPlatform::UserDefaultLanguageId() { return GetUserDefaultLangID(); }

std::optional<VersionRecord> WindowsSetupPlatform::Version() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return std::nullopt;
  return VersionRecord{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

std::optional<std::string> WindowsSetupPlatform::ReadMachineRegistryString(const std::string& key,
                                                                           const std::string& value_name) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return std::nullopt;
  std::optional<std::string> text;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(handle, value_name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    // A stored string need not end in a NUL, so the buffer gets one of its own.
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(handle, value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      text = TextOf(buffer.data(), size);
    }
  }
  RegCloseKey(handle);
  return text;
}

std::optional<std::string> WindowsSetupPlatform::WindowsDirectory() {
  std::vector<char> buffer(MAX_PATH + 1);
  UINT length = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {
    // The return value was the size needed, NUL included.
    buffer.resize(length + 1);
    length = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), length);
}

std::unique_ptr<FileVersionResource> WindowsSetupPlatform::ReadFileVersionResource(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return nullptr;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return nullptr;
  return std::make_unique<WindowsFileVersionResource>(std::move(block));
}

void WindowsSetupPlatform::ShowMessageBox(const std::string& text, const std::string& caption) {
  MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

std::optional<std::string> WindowsSetupPlatform::ModuleFileName() {
  // A full buffer means the name was cut; a cut name would point at some other folder.
  for (DWORD size = MAX_PATH + 1; size <= kLongestPath; size *= 2) {
    std::vector<char> buffer(size);
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return std::nullopt;
    if (length < size) return std::string(buffer.data(), length);
  }
  return std::nullopt;
}

// The installer's two services are linked by their exported names
// (MsiSetInternalUI, MsiInstallProductA) through the import library rather
// than by ordinal: the named exports are the same functions, and names stay
// valid across versions of the installer library.
void WindowsSetupPlatform::SetInstallerUiLevel(int level) {
  MsiSetInternalUI(static_cast<INSTALLUILEVEL>(level), nullptr);
}

void WindowsSetupPlatform::InstallProduct(const std::string& package_path) {
  MsiInstallProductA(package_path.c_str(), nullptr);
}

}  // namespace orvex::setup
