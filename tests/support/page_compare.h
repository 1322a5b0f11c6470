#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/text_file.h"

// Comparing written pages with expected text. Use as
//   EXPECT_TRUE(orvex::test::PageMatches(expected, response.Body()));
// A mismatch names the first differing line and shows both versions with
// blanks, tabs and carriage returns made visible.
namespace orvex::test {

// The lines of `text`, split at each line feed. A text ending in a line feed
// has an empty last line, so a missing final line feed is a difference too.
inline std::vector<std::string> PageLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      return lines;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// `line` with a blank shown as "·", a tab as "→" and a carriage return as "␍".
inline std::string ShowBlanks(std::string_view line) {
  std::string shown;
  for (char c : line) {
    switch (c) {
      case ' ': shown += "\xC2\xB7"; break;
      case '\t': shown += "\xE2\x86\x92"; break;
      case '\r': shown += "\xE2\x90\x8D"; break;
      default: shown += c;
    }
  }
  return shown;
}

inline ::testing::AssertionResult PageMatches(std::string_view expected, std::string_view actual) {
  std::vector<std::string> want = PageLines(expected);
  std::vector<std::string> got = PageLines(actual);
  for (size_t line = 0; line < want.size() || line < got.size(); ++line) {
    if (line < want.size() && line < got.size() && want[line] == got[line]) continue;
    auto failure = ::testing::AssertionFailure();
    failure << "pages differ at line " << (line + 1) << " (expected " << want.size() << " lines, got " << got.size()
            << ")\n";
    failure << "  expected: " << (line < want.size() ? "[" + ShowBlanks(want[line]) + "]" : "(no line)") << "\n";
    failure << "  actual:   " << (line < got.size() ? "[" + ShowBlanks(got[line]) + "]" : "(no line)");
    return failure;
  }
  return ::testing::AssertionSuccess();
}

using orvex::testing::ReadTextFile;

// The expected page kept at `relative` in the source tree; fails the test when it is missing or empty.
inline std::string ExpectedPage(const std::filesystem::path& relative) {
  std::string text = ReadTextFile(std::filesystem::path(ORVEX_SOURCE_DIR) / relative);
  EXPECT_FALSE(text.empty()) << relative.string();
  return text;
}

}  // namespace orvex::test
