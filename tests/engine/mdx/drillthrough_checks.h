#pragma once
// Drill-through rows checked against the cells they lie behind, over the
// Tiny catalog of any store: the same checks run on DuckDB and on PostgreSQL.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"

namespace orvex::engine::testing {

// `select` with every "%M" replaced by `measure`.
inline std::string WithMeasure(std::string select, const std::string& measure) {
  for (size_t at = select.find("%M"); at != std::string::npos; at = select.find("%M", at + measure.size())) {
    select.replace(at, 2, measure);
  }
  return select;
}

// The value of the statement's one cell; 0 for an empty cell.
inline double OneCell(EngineSession& session, const std::string& mdx) {
  Variant value = session.Execute("Tiny", mdx)->GetCell(0)->Value();
  return value.HoldsNumber() ? value.ToDouble() : 0;
}

// Cells of the Tiny cube, each a SELECT of one cell whose measure is "%M":
// unique and non-unique levels, a snowflake dimension, a slicer, compound
// slicers over one and two hierarchies, an empty cell, members by key.
inline const std::vector<std::string>& DrillCells() {
  static const std::vector<std::string> cells = {
      "SELECT {%M} ON 0 FROM Sales",
      "SELECT {%M} ON 0, {[Store].[USA].[CA]} ON 1 FROM Sales WHERE [Time].[1997]",
      "SELECT {[Store].[USA].[CA].[Los Angeles]} ON 0 FROM Sales WHERE ([Time].[1997].[Q2], %M)",
      "SELECT {([Product].[Drink], %M)} ON 0 FROM Sales WHERE [Time].[1998]",
      "SELECT {%M} ON 0, {[Product].[Food].[Snack Foods]} ON 1, {[Time].[1997].[Q1].[3]} ON 2 FROM Sales",
      "SELECT {%M} ON 0 FROM Sales WHERE {[Store].[USA].[CA], [Store].[USA].[OR]}",
      "SELECT {%M} ON 0 FROM Sales WHERE {([Store].[USA].[WA], [Product].[Drink]), ([Store].[USA].[OR], "
      "[Product].[Food])}",
      "SELECT {%M} ON 0 FROM Sales WHERE ([Store].[Canada], [Time].[1997])",
      "SELECT {%M} ON 0, {[Customers].[USA].[OR].[Portland].[Cid Fox]} ON 1 FROM Sales WHERE [Gender].[M]",
  };
  return cells;
}

// Every cell's rows: as many as its count measure says, adding up to its
// sums; and every row lies in the cell (its level columns name its members).
inline void CheckRowsAddUpToCells(std::shared_ptr<DataSources> sources) {
  EngineSession session(sources, "Tiny", EngineOptions{});
  for (const std::string& cell : DrillCells()) {
    SCOPED_TRACE(cell);
    double count = OneCell(session, WithMeasure(cell, "[Measures].[Sales Count]"));
    double units = OneCell(session, WithMeasure(cell, "[Measures].[Unit Sales]"));
    double sales = OneCell(session, WithMeasure(cell, "[Measures].[Store Sales]"));
    provider::TabularData rows;
    try {
      rows = session.Drillthrough("Tiny", "DRILLTHROUGH " + WithMeasure(cell, "[Measures].[Unit Sales]") +
                                              " RETURN [Measures].[Unit Sales], [Measures].[Store Sales]");
    } catch (const ComError& error) {
      ADD_FAILURE() << error.description();
      continue;
    }
    ASSERT_EQ(rows.columns, (std::vector<std::string>{"[Measures].[Unit Sales]", "[Measures].[Store Sales]"}));
    EXPECT_EQ(static_cast<double>(rows.rows.size()), count);
    double unit_total = 0;
    double sales_total = 0;
    for (const auto& row : rows.rows) {
      unit_total += row[0].ToDouble();
      sales_total += row[1].ToDouble();
    }
    EXPECT_EQ(unit_total, units);
    EXPECT_NEAR(sales_total, sales, 1e-6);
  }
}

}  // namespace orvex::engine::testing
