#include "setup/linux_setup_platform.h"

#include <gtest/gtest.h>

#include "setup/command.h"

namespace orvex::setup {
namespace {

TEST(Windows1252ToUtf8Test, ConvertsEveryRangeOfTheCodePage) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text\n", "plain text\n"},
      {"ge\xEFnstalleerd", "ge\xC3\xAFnstalleerd"},
      {"\x80", "\xE2\x82\xAC"},  // euro sign
      {"\x9F", "\xC5\xB8"},
      {"\x81\x8D", "\xC2\x81\xC2\x8D"},  // undefined in the code page
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Windows1252ToUtf8(text), expected);
  }
}

// The program as built, run with `lang` as LANG (unset when empty); only its error stream is kept.
CommandResult RunSetupProgram(const std::string& lang) {
  const std::string program = std::string(ORVEX_BINARY_DIR) + "/bin/Setup";
  const std::string environment = lang.empty() ? "env -u LANG -u LC_ALL" : "env -u LC_ALL LANG=" + lang;
  return RunCommand(environment + " '" + program + "' 2>&1 >/dev/null");
}

TEST(LinuxSetupProgramTest, ReportsTheOperatingSystemInTheUsersLanguageAndExitsWithZero) {
  const std::string dutch =
      "Onjuiste ontdekte versie van Ramen.\n\nOrvex kan slechts worden ge\xC3\xAFnstalleerd op Windows NT 4.0, "
      "Windows 2000, en Windows XP\n";
  const std::string english =
      "Incorrect version of Windows detected.\n\nOrvex can only be installed on Windows NT 4.0, Windows 2000, and "
      "Windows XP\n";
  const std::pair<std::string, std::string> cases[] = {
      {"nl_NL.UTF-8", dutch}, {"nl_BE.UTF-8", english}, {"en_GB.UTF-8", english}, {"", english}};
  for (const auto& [lang, expected] : cases) {
    SCOPED_TRACE("LANG=" + lang);
    const CommandResult result = RunSetupProgram(lang);
    EXPECT_EQ(result.output, expected);
    EXPECT_EQ(result.exit_code, 0);
  }
}

}  // namespace
}  // namespace orvex::setup
