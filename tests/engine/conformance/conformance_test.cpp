// Runs every statement of cases/*.txt against the Tiny catalog and compares
// the result with the grid written under it.
//
// A file holds cases; each starts with a line "=== title", then the statement
// (any number of lines), a line "---", and the expected result as
// CellsetToTable writes it: cells split at "|" and compared with blanks
// trimmed, so the grid need not line up. An expected result starting with a
// line "filter: ..." also checks the filter axis. "error: text" expects the
// statement to fail with a message containing the text. Lines starting with
// "#" before a case's title are comments.
//
// ORVEX_CONFORMANCE_ROOT may name another data-source root holding a catalog
// "Tiny" (the same data in another store); by default the DuckDB one is built.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "platform/text.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

struct Case {
  std::string file;
  int line = 0;
  std::string title;
  std::string statement;
  std::vector<std::string> expected;
};

std::vector<Case> ReadCases(const std::filesystem::path& path) {
  std::ifstream input(path);
  std::vector<Case> cases;
  std::string line;
  int number = 0;
  enum class Part { kNone, kStatement, kExpected } part = Part::kNone;
  while (std::getline(input, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("=== ", 0) == 0) {
      cases.push_back(Case{path.filename().string(), number, line.substr(4), "", {}});
      part = Part::kStatement;
    } else if (part == Part::kStatement && line == "---") {
      part = Part::kExpected;
    } else if (part == Part::kStatement) {
      cases.back().statement += line + "\n";
    } else if (part == Part::kExpected) {
      cases.back().expected.push_back(line);
    }
  }
  for (Case& c : cases) {
    while (!c.expected.empty() && Trim(c.expected.back()).empty()) c.expected.pop_back();
    if (!c.statement.empty()) c.statement.pop_back();  // the line feed after the last line
  }
  return cases;
}

// A line with every cell trimmed, so that alignment does not matter.
std::string Normal(const std::string& line) {
  std::string normal;
  for (const std::string& cell : Split(line, "|")) {
    if (!normal.empty()) normal += "|";
    normal += Trim(cell);
  }
  return Trim(normal);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, "\n");
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

std::shared_ptr<DataSources> Sources() {
  auto sources = std::make_shared<DataSources>();
  const char* root = std::getenv("ORVEX_CONFORMANCE_ROOT");
  sources->Add("Tiny", root && *root ? std::filesystem::path(root) : orvex::testing::TinyCatalogsRoot());
  return sources;
}

void Check(EngineSession& session, const Case& c) {
  SCOPED_TRACE(c.file + ":" + std::to_string(c.line) + " " + c.title);
  ASSERT_FALSE(c.expected.empty()) << "no expected result";
  bool expect_error = c.expected.front().rfind("error: ", 0) == 0;
  std::string actual;
  try {
    auto result = session.Execute("Tiny", c.statement);
    actual = CellsetToTable(*result, c.expected.front().rfind("filter: ", 0) == 0);
  } catch (const ComError& error) {
    if (expect_error) {
      std::string wanted = c.expected.front().substr(7);
      EXPECT_NE(error.description().find(wanted), std::string::npos) << "message: " << error.description();
      return;
    }
    FAIL() << "fails: " << error.description();
  }
  ASSERT_FALSE(expect_error) << "runs, giving:\n" << actual;
  std::vector<std::string> lines = Lines(actual);
  for (size_t index = 0; index < std::max(lines.size(), c.expected.size()); ++index) {
    std::string want = index < c.expected.size() ? Normal(c.expected[index]) : "(nothing)";
    std::string got = index < lines.size() ? Normal(lines[index]) : "(nothing)";
    if (want != got) {
      ADD_FAILURE() << "line " << index + 1 << " differs\n  expected: " << want << "\n  actual:   " << got
                    << "\nwhole result:\n" << actual;
      return;
    }
  }
}

TEST(ConformanceTest, EveryCaseGivesItsGrid) {
  EngineSession session(Sources(), "Tiny", EngineOptions{});
  std::filesystem::path folder = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "engine" / "conformance" / "cases";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  size_t count = 0;
  for (const auto& file : files) {
    for (const Case& c : ReadCases(file)) {
      Check(session, c);
      ++count;
    }
  }
  EXPECT_GT(count, 0u);
}

}  // namespace
}  // namespace orvex::engine
