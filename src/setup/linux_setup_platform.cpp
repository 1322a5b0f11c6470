#include "setup/linux_setup_platform.h"

#include <filesystem>
#include <system_error>

#include "platform/runtime/runtime.h"

namespace orvex::setup {
namespace {

// The characters of the bytes 0x80 to 0x9F; from 0xA0 on the byte is its own code point.
constexpr char16_t kCharactersOf80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char16_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

}  // namespace

LinuxSetupPlatform::LinuxSetupPlatform(std::string lang, std::ostream& error_output)
    : lang_(std::move(lang)), error_output_(error_output) {}

uint16_t LinuxSetupPlatform::UserDefaultLanguageId() {
  return static_cast<uint16_t>(runtime::LocaleFromName(lang_));
}

void LinuxSetupPlatform::ShowMessageBox(const std::string& text, const std::string& /*caption*/) {
  error_output_ << Windows1252ToUtf8(text) << '\n' << std::flush;
}

std::optional<std::string> LinuxSetupPlatform::ModuleFileName() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self.string();
}

std::string Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kCharactersOf80To9F[byte - 0x80] : char16_t{byte});
  }
  return out;
}

}  // namespace orvex::setup
