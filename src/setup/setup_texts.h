#pragma once
#include <cstdint>
#include <string>

// The languages and messages of the Setup bootstrapper. Messages are the
// exact Windows-1252 bytes the message box shows; lines are separated by a
// single line feed.
namespace orvex::setup {

enum class Language { kEnglish, kDutch };

// The prerequisite that failed first, if any.
enum class Failure { kNone, kOperatingSystem, kDataAccess, kScriptingRuntime };

inline constexpr char kMessageCaption[] = "Orvex";

// Dutch exactly for Dutch as used in the Netherlands (1043); every other
// language, Belgian Dutch (2067) included, gets English.
[[nodiscard]] Language LanguageFor(uint16_t language_id);

// The message for `failure` in `language`; empty for Failure::kNone.
[[nodiscard]] std::string MessageText(Failure failure, Language language);

}  // namespace orvex::setup
