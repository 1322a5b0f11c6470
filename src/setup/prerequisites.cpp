#include "setup/prerequisites.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace orvex::setup {
namespace {

constexpr uint32_t kPlatformNt = 2;
constexpr uint32_t kOldestNtMajor = 4;
constexpr char kDataAccessKey[] = "SOFTWARE\\Microsoft\\DataAccess";
constexpr char kDataAccessValue[] = "FullInstallVer";
constexpr char kDataAccessRequired[] = "2.6";
constexpr char kScriptingRuntimeFile[] = "system32\\scrrun.dll";
constexpr char kScriptingRuntimeRequired[] = "5.6";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool OperatingSystemSupported(SetupPlatform& platform) {
  const std::optional<VersionRecord> version = platform.Version();
  return version && version->platform_id == kPlatformNt && version->major >= kOldestNtMajor;
}

uint16_t LittleEndianWord(const std::string& bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

}  // namespace

bool VersionAtLeast(std::string_view version, std::string_view required) {
  // Character by character over at most three characters, as text: a text
  // that ends first is the smaller one.
  for (size_t at = 0; at < 3; ++at) {
    const int have = at < version.size() ? static_cast<unsigned char>(LowerAscii(version[at])) : 0;
    const int need = at < required.size() ? static_cast<unsigned char>(LowerAscii(required[at])) : 0;
    if (have != need) return have > need;
    if (have == 0) return true;
  }
  return true;
}

std::string DataAccessVersion(SetupPlatform& platform) {
  return platform.ReadMachineRegistryString(kDataAccessKey, kDataAccessValue).value_or(" ");
}

std::string ScriptingRuntimeVersion(SetupPlatform& platform) {
  std::string path = platform.WindowsDirectory().value_or("");
  // Without the Windows directory the path would point at the root of the
  // current drive, where a stray copy of the library must not count.
  if (path.empty()) return "";
  if (path.back() != '\\') path += '\\';
  path += kScriptingRuntimeFile;

  const std::unique_ptr<FileVersionResource> resource = platform.ReadFileVersionResource(path);
  if (!resource) return "";
  // The translation table holds (language, code page) word pairs; the first names the string table to read.
  const std::optional<std::string> translation = resource->QueryValue("\\VarFileInfo\\Translation");
  if (!translation || translation->size() < 4) return "";
  char sub_block[40];
  std::snprintf(sub_block, sizeof sub_block, "\\StringFileInfo\\%04X%04X\\", unsigned{LittleEndianWord(*translation, 0)},
                unsigned{LittleEndianWord(*translation, 2)});
  const std::optional<std::string> version = resource->QueryValue(std::string(sub_block) + "FileVersion");
  if (!version) return "";
  return version->substr(0, version->find('\0'));
}

Failure FirstFailure(SetupPlatform& platform) {
  if (!OperatingSystemSupported(platform)) return Failure::kOperatingSystem;
  if (!VersionAtLeast(DataAccessVersion(platform), kDataAccessRequired)) return Failure::kDataAccess;
  if (!VersionAtLeast(ScriptingRuntimeVersion(platform), kScriptingRuntimeRequired)) return Failure::kScriptingRuntime;
  return Failure::kNone;
}

}  // namespace orvex::setup
