#pragma once
#include <memory>
#include <string_view>

#include "engine/eval/cell_set.h"
#include "engine/eval/engine_options.h"
#include "engine/mdx/ast.h"
#include "engine/model/catalog.h"

namespace orvex::engine {

// Runs MDX statements against the cubes of one catalog. Each run evaluates the
// statement in passes: a pass that meets stored values not read yet leaves
// them pending, they are read with one grouped fetch, and the next pass
// computes with them (a typical statement takes two passes and one fetch).
// Thread-safe: every run has its own state; the catalog is shared.
class QueryExecutor {
 public:
  QueryExecutor(std::shared_ptr<const Catalog> catalog, EngineOptions options)
      : catalog_(std::move(catalog)), options_(options) {}

  // Parses (through the shared statement cache) and runs `mdx`, or gives the
  // answer kept from an earlier run of the same text on this catalog (see
  // ResultCache; EngineOptions::cache_results). Throws ComError
  // for malformed MDX, unknown cubes, names or functions, a result beyond the
  // cell limit, and store failures.
  std::shared_ptr<const CellSet> Execute(std::string_view mdx) const;
  // Runs a parsed statement; `statement` is shared with the result's owner.
  // A DRILLTHROUGH statement is refused: it answers with rows.
  std::shared_ptr<const CellSet> Execute(std::shared_ptr<const mdx::Statement> statement) const;
  // Runs the SELECT of `statement`, a DRILLTHROUGH's too (its cell is what the rows are behind).
  std::shared_ptr<const CellSet> ExecuteSelect(std::shared_ptr<const mdx::Statement> statement) const;

 private:
  // A result whose owner does not keep the catalog alive; callers get it through Pinned.
  // Refuses a DRILLTHROUGH statement.
  std::shared_ptr<const CellSet> RunTrimmed(std::shared_ptr<const mdx::Statement> statement) const;
  // Run, handing memory back to the system when a budget stops the statement.
  std::shared_ptr<const CellSet> RunBudgeted(std::shared_ptr<const mdx::Statement> statement) const;
  std::shared_ptr<const CellSet> Run(std::shared_ptr<const mdx::Statement> statement) const;

  std::shared_ptr<const Catalog> catalog_;
  EngineOptions options_;
};

}  // namespace orvex::engine
