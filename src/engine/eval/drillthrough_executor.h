#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/eval/engine_options.h"
#include "engine/mdx/ast.h"
#include "engine/model/catalog.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

// The answer of a DRILLTHROUGH statement: a heading per column and the fact
// rows, one value per column.
struct FactRows {
  std::vector<std::string> columns;
  RowSet rows{{}};
};

// Runs DRILLTHROUGH statements against the cubes of one catalog: the SELECT
// must designate one cell (no axis with more than one position), and the
// answer is the fact rows that cell adds up, filtered by every member of
// the cell (the slicer's included). Columns are those of RETURN, else every
// level of the cube's visible hierarchies (the member's caption, headed by
// the level's unique name) and every stored measure. Thread-safe like
// QueryExecutor.
class DrillthroughExecutor {
 public:
  // Without MAXROWS a drill-through returns at most this many rows.
  static constexpr int64_t kDefaultMaxRows = 10000;

  DrillthroughExecutor(std::shared_ptr<const Catalog> catalog, EngineOptions options)
      : catalog_(std::move(catalog)), options_(options) {}

  // Throws ComError for what is not a DRILLTHROUGH statement, a SELECT of
  // more than one cell, a calculated member in the cell or in RETURN, a
  // column RETURN cannot name, a role that shows only some members of a
  // hierarchy (whose hidden members' rows would show), a cube not read from
  // one fact table, and store failures.
  FactRows Execute(std::string_view mdx) const;
  FactRows Execute(std::shared_ptr<const mdx::Statement> statement) const;

 private:
  std::shared_ptr<const Catalog> catalog_;
  EngineOptions options_;
};

}  // namespace orvex::engine
