// Drill-through on the test server: the rows behind each cell add up to it,
// and are the very rows DuckDB gives for the same catalog, in the same order.
#include <gtest/gtest.h>

#include "../mdx/drillthrough_checks.h"
#include "engine/provider/cellset_text.h"
#include "postgres_test_server.h"

namespace orvex::engine {
namespace {

std::shared_ptr<DataSources> SourcesOver(const std::filesystem::path& root) {
  auto sources = std::make_shared<DataSources>();
  sources->Add("Tiny", root);
  return sources;
}

TEST(PostgresDrillthroughTest, RowsAddUpToTheCellAndMatchDuckDbRowForRow) {
  testing::CheckRowsAddUpToCells(SourcesOver(orvex::testing::PostgresCatalogsRoot()));
  EngineSession postgres(SourcesOver(orvex::testing::PostgresCatalogsRoot()), "Tiny", EngineOptions{});
  EngineSession duckdb(SourcesOver(orvex::testing::DuckDbCatalogsRoot()), "Tiny", EngineOptions{});
  for (const std::string& cell : testing::DrillCells()) {
    SCOPED_TRACE(cell);
    std::string mdx = "DRILLTHROUGH MAXROWS 7 " + testing::WithMeasure(cell, "[Measures].[Unit Sales]");
    EXPECT_EQ(TabularToTable(postgres.Drillthrough("Tiny", mdx)), TabularToTable(duckdb.Drillthrough("Tiny", mdx)));
  }
}

}  // namespace
}  // namespace orvex::engine
