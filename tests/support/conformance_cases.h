#pragma once
// The conformance cases (tests/engine/conformance/cases/*.txt), read for any
// provider's tests.
//
// A file holds cases; each starts with a line "=== title", then the statement
// (any number of lines), a line "---", and the expected result as
// CellsetToTable writes it: cells split at "|" and compared with blanks
// trimmed, so the grid need not line up. An expected result starting with a
// line "filter: ..." also checks the filter axis. "error: text" expects the
// statement to fail with a message containing the text. Lines starting with
// "#" before a case's title are comments.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/text.h"

namespace orvex::testing {

struct ConformanceCase {
  std::string file;
  int line = 0;
  std::string title;
  std::string statement;
  std::vector<std::string> expected;
};

inline std::vector<ConformanceCase> ReadConformanceCases(const std::filesystem::path& path) {
  std::ifstream input(path);
  std::vector<ConformanceCase> cases;
  std::string line;
  int number = 0;
  enum class Part { kNone, kStatement, kExpected } part = Part::kNone;
  while (std::getline(input, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("=== ", 0) == 0) {
      cases.push_back(ConformanceCase{path.filename().string(), number, line.substr(4), "", {}});
      part = Part::kStatement;
    } else if (part == Part::kStatement && line == "---") {
      part = Part::kExpected;
    } else if (part == Part::kStatement) {
      cases.back().statement += line + "\n";
    } else if (part == Part::kExpected) {
      cases.back().expected.push_back(line);
    }
  }
  for (ConformanceCase& c : cases) {
    while (!c.expected.empty() && Trim(c.expected.back()).empty()) c.expected.pop_back();
    if (!c.statement.empty()) c.statement.pop_back();  // the line feed after the last line
  }
  return cases;
}

// The case files of the conformance folder, in name order.
inline std::vector<std::filesystem::path> ConformanceCaseFiles() {
  std::filesystem::path folder = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "engine" / "conformance" / "cases";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace orvex::testing
