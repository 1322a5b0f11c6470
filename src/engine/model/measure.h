#pragma once
#include <string>

#include "engine/common/aggregator.h"

namespace orvex::engine {

class Hierarchy;

// A measure stored in the fact table. How it is read (column or SQL
// expression) belongs to the data layer.
struct Measure {
  std::string name;
  std::string unique_name;  // "[Measures].[Unit Sales]"
  std::string caption;
  Aggregator aggregator = Aggregator::kSum;
  std::string format_string;  // "" when the schema gives none
  std::string datatype = "Numeric";  // the schema's datatype: Numeric, Integer or String
  bool visible = true;
  std::string column;          // fact column, or
  std::string sql_expression;  // a MeasureExpression's SQL (already chosen for the store's dialect)
};

// A calculated member defined by the schema. Its formula is MDX, evaluated by
// the MDX layer in the context of each cell.
struct CalculatedMemberDef {
  std::string name;
  std::string unique_name;  // "[Measures].[Profit]"
  std::string caption;
  std::string formula;
  std::string format_string;
  int solve_order = 0;  // the higher wins where calculated members of several hierarchies meet
  int schema_order = 0;  // position among the cube's calculated members: on a tie the later one wins
  bool visible = true;
  const Hierarchy* hierarchy = nullptr;
  std::string parent_name;  // as the schema writes it; "" for the top of a hierarchy (under its all member)
};

}  // namespace orvex::engine
