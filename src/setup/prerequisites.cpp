#include "setup/prerequisites.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace orvex::setup {
namespace {

constexpr uint32_t kPlatformNt = 2;
constexpr uint32_t kOldestNtMajor = 4;
constexpr char kDataAccessKey[] = "SOFTWARE\\Microsoft\\DataAccess";
constexpr char kDataAccessValue[] = "FullInstallVer";
constexpr char kDataAccessRequired[] = "2.6";
constexpr char kScriptingRuntimeFile[] = "system32\\scrrun.dll";
constexpr char kScriptingRuntimeRequired[] = "5.6";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A non-negative decimal as digit strings without leading zeros in the whole
// part and without trailing zeros in the fraction, so that equal numbers have
// equal forms and the forms order as the numbers do.
struct Decimal {
  std::string whole;
  std::string fraction;
};

std::optional<Decimal> LeadingDecimal(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsDigit(text[at])) ++at;
  if (at == 0) return std::nullopt;
  Decimal number;
  const size_t first_significant = text.substr(0, at).find_first_not_of('0');
  if (first_significant != std::string_view::npos) number.whole = text.substr(first_significant, at - first_significant);
  if (at < text.size() && text[at] == '.') {
    const size_t begin = ++at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    number.fraction = text.substr(begin, at - begin);
    number.fraction.erase(number.fraction.find_last_not_of('0') + 1);
  }
  return number;
}

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
  const std::optional<Decimal> have = LeadingDecimal(version);
  const std::optional<Decimal> need = LeadingDecimal(required);
  if (!have || !need) return false;
  if (have->whole.size() != need->whole.size()) return have->whole.size() > need->whole.size();
  if (have->whole != need->whole) return have->whole > need->whole;
  return have->fraction >= need->fraction;
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
