#pragma once
#include <string>
#include <vector>

#include "engine/provider/engine_session.h"

namespace orvex::bench {

// One typical statement of the explorer over the sample catalog: its MDX in
// the shape the cube view writes, hand-written SQL that computes the same
// cells (portable across DuckDB and PostgreSQL), and the axes of a view
// definition that shows it on the view page.
struct BenchStatement {
  std::string key;    // a short name, used in the JSON results
  std::string title;  // for the printed table
  std::string mdx;
  std::string sql;
  std::string measure;  // of the view
  std::string ranges;   // the ranges element's content
  std::string axes;     // the axes element's content
};

// The five statements. `session` must be open on a data source holding
// `catalog`; the first statement lists the product families and departments
// it expands, as a view does, which loads the member trees.
std::vector<BenchStatement> TypicalStatements(engine::EngineSession& session, const std::string& catalog);

// The whole view definition of `statement` for the data source `data_source`.
std::string ViewDefinition(const BenchStatement& statement, const std::string& data_source, const std::string& catalog);

}  // namespace orvex::bench
