// Runs every statement of cases/*.txt (their form: support/conformance_cases.h)
// against the Tiny catalog and compares the result with the grid written under it.
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
#include "support/conformance_cases.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using Case = orvex::testing::ConformanceCase;

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
  std::vector<std::filesystem::path> files = orvex::testing::ConformanceCaseFiles();
  ASSERT_FALSE(files.empty());
  size_t count = 0;
  for (const auto& file : files) {
    for (const Case& c : orvex::testing::ReadConformanceCases(file)) {
      Check(session, c);
      ++count;
    }
  }
  EXPECT_GT(count, 0u);
}

}  // namespace
}  // namespace orvex::engine
