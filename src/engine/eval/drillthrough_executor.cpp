#include "engine/eval/drillthrough_executor.h"

#include <algorithm>
#include <chrono>

#include "engine/cells/cell_reader.h"
#include "engine/common/engine_error.h"
#include "engine/eval/query_executor.h"
#include "engine/eval/statement_cache.h"
#include "engine/mdx/lexer.h"
#include "engine/model/level.h"
#include "platform/text.h"

namespace orvex::engine {

namespace {

// What a value takes in memory as the rows are read: budgeted like a statement's tuples.
constexpr int64_t kBytesPerValue = 48;

// The member a cell of this cube is read through: under a role, the
// unrestricted cube's.
const Member* Stored(const Member* member) { return member && member->stored ? member->stored : member; }

struct Column {
  std::string heading;
  FactColumn read;
};

// "[$Time].[Year]" names the level [Time].[Year], as some clients write dimensions.
std::string WrittenName(const mdx::Name& name) {
  std::vector<mdx::NamePart> parts = name.parts;
  if (!parts.empty() && parts.front().text.size() > 1 && parts.front().text.front() == '$') {
    parts.front().text.erase(0, 1);
  }
  return mdx::FormatName(parts);
}

[[noreturn]] void FailColumn(const mdx::Node& node, const std::string& why) {
  throw EngineError("MDX error at " + mdx::DescribePosition(node.pos) + ": the RETURN column " + mdx::ToText(node) +
                    " " + why);
}

// One RETURN column: a stored measure, a level (its members' captions), or
// Name(), Caption() or Key() of a level.
Column ReturnColumn(const Cube& cube, const mdx::Node& node) {
  FactColumn::Kind kind = FactColumn::Kind::kCaption;
  const mdx::Node* target = &node;
  std::string function;
  if (node.kind == mdx::NodeKind::kCall) {
    const auto& call = static_cast<const mdx::Call&>(node);
    function = call.function;
    if (call.style != mdx::CallStyle::kFunction || call.args.size() != 1) {
      FailColumn(node, "is not a measure, a level, or Name(), Caption() or Key() of a level.");
    }
    if (EqualsIgnoreCase(function, "Name")) {
      kind = FactColumn::Kind::kName;
    } else if (EqualsIgnoreCase(function, "Caption")) {
      kind = FactColumn::Kind::kCaption;
    } else if (EqualsIgnoreCase(function, "Key")) {
      kind = FactColumn::Kind::kKey;
    } else {
      FailColumn(node, "uses " + function + "(); a column takes Name(), Caption() or Key() of a level.");
    }
    target = call.args.front().get();
  }
  if (target->kind != mdx::NodeKind::kName) {
    FailColumn(node, "is not a measure, a level, or Name(), Caption() or Key() of a level.");
  }
  std::string written = WrittenName(static_cast<const mdx::Name&>(*target));
  if (function.empty()) {
    for (const Member* member : cube.measures_hierarchy().AllMembers()) {
      if (!EqualsIgnoreCase(member->unique_name, written)) continue;
      if (!member->measure) FailColumn(node, "is a calculated measure; the fact rows hold stored measures only.");
      return Column{member->unique_name, FactColumn{FactColumn::Kind::kMeasure, nullptr, 0, Stored(member)->measure}};
    }
  }
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    if (!hierarchy->accessible()) continue;
    for (const auto& level : hierarchy->levels()) {
      if (level->is_all() || !EqualsIgnoreCase(level->unique_name(), written)) continue;
      std::string heading = function.empty() ? level->unique_name() : function + "(" + level->unique_name() + ")";
      return Column{heading, FactColumn{kind, hierarchy, level->depth(), nullptr}};
    }
  }
  FailColumn(node, function.empty() ? "names no stored measure and no level of the cube " + cube.name() + "."
                                    : "names no level of the cube " + cube.name() + ".");
}

// Without RETURN: every level of the visible hierarchies, then every visible stored measure.
std::vector<Column> DefaultColumns(const Cube& cube) {
  std::vector<Column> columns;
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    if (!hierarchy->accessible() || !hierarchy->visible()) continue;
    for (const auto& level : hierarchy->levels()) {
      if (level->is_all() || !level->visible()) continue;
      columns.push_back(
          Column{level->unique_name(), FactColumn{FactColumn::Kind::kCaption, hierarchy, level->depth(), nullptr}});
    }
  }
  for (const Member* member : cube.measures_hierarchy().AllMembers()) {
    if (!member->measure || !member->measure->visible) continue;
    columns.push_back(
        Column{member->unique_name, FactColumn{FactColumn::Kind::kMeasure, nullptr, 0, Stored(member)->measure}});
  }
  return columns;
}

// The cell's member of every hierarchy; refuses a cell that is not one
// stored cell (more than one position on an axis, or a calculated member).
std::vector<const Member*> CellMembers(const Cube& cube, const CellSet& cells) {
  std::vector<const Member*> members(cube.hierarchies().size() + 1, nullptr);  // the measure last
  auto place = [&](const std::vector<const Hierarchy*>& hierarchies, const Tuple& tuple) {
    for (size_t index = 0; index < tuple.size() && index < hierarchies.size(); ++index) {
      const Hierarchy& hierarchy = *hierarchies[index];
      members[hierarchy.is_measures() ? members.size() - 1 : static_cast<size_t>(hierarchy.index())] = tuple[index];
    }
  };
  for (const Tuple& tuple : cells.filter_axis.positions) place(cells.filter_axis.hierarchies, tuple);
  for (size_t number = 0; number < cells.axes.size(); ++number) {
    const AxisResult& axis = cells.axes[number];
    if (axis.positions.size() != 1) {
      throw EngineError("Drill-through needs the SELECT to designate one cell, but axis " + std::to_string(number) +
                        " has " + std::to_string(axis.positions.size()) + " positions.");
    }
    place(axis.hierarchies, axis.positions.front());
  }
  for (const Member* member : members) {
    if (member && member->calculated) {
      throw EngineError("The cell is at the calculated member " + member->unique_name +
                        "; drill-through shows the fact rows of stored cells only.");
    }
  }
  return members;
}

}  // namespace

FactRows DrillthroughExecutor::Execute(std::string_view mdx) const {
  return Execute(StatementCache::Shared().Statement(mdx));
}

FactRows DrillthroughExecutor::Execute(std::shared_ptr<const mdx::Statement> statement) const {
  if (!statement->drillthrough) throw EngineError("A drill-through needs a DRILLTHROUGH statement.");
  const auto deadline = options_.query_timeout.count() > 0 ? std::chrono::steady_clock::now() + options_.query_timeout
                                                           : kNoDeadline;
  const mdx::DrillthroughClause& clause = *statement->drillthrough;
  if (statement->cube.size() != 1) {
    throw EngineError("The cube " + mdx::FormatName(statement->cube) + " at " +
                      mdx::DescribePosition(statement->cube_pos) + " does not exist.");
  }
  const Cube& cube = catalog_->FindCube(statement->cube.front().text);
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    // Its rows would show members the role hides, and the cells of members it
    // shows may leave hidden rows out: no filter on the rows says the same.
    if (hierarchy->restricted()) {
      throw EngineError("Drill-through is not available under a role that shows only some members of " +
                        hierarchy->unique_name() + ".");
    }
  }
  std::vector<Column> columns;
  for (const mdx::NodePtr& node : clause.columns) columns.push_back(ReturnColumn(cube, *node));
  if (clause.columns.empty()) columns = DefaultColumns(cube);
  if (columns.empty()) throw EngineError("The cube " + cube.name() + " has no column to drill through to.");

  int64_t max_rows = clause.max_rows > 0 ? clause.max_rows : kDefaultMaxRows;
  int64_t values = max_rows * static_cast<int64_t>(columns.size());
  if (options_.max_statement_memory > 0 && values > options_.max_statement_memory / kBytesPerValue) {
    throw EngineError("Drill-through of up to " + std::to_string(max_rows) + " rows of " +
                      std::to_string(columns.size()) + " columns is more than this server reads at once; " +
                      "ask for fewer rows with MAXROWS or fewer columns with RETURN.");
  }

  std::shared_ptr<const CellSet> cells = QueryExecutor(catalog_, options_).ExecuteSelect(statement);
  std::vector<const Member*> members = CellMembers(cube, *cells);
  Coordinate coordinate;
  for (size_t index = 0; index + 1 < members.size(); ++index) coordinate.push_back(Stored(members[index]));

  std::shared_ptr<TupleFilter> filter;
  if (cells->slicer_filter) {
    filter = std::make_shared<TupleFilter>(*cells->slicer_filter);
    for (auto& tuple : filter->tuples) {
      for (const Member*& member : tuple) member = Stored(member);
    }
  }

  FactRowsRequest request;
  request.coordinate = &coordinate;
  request.filter = filter.get();
  request.max_rows = max_rows;
  FactRows result;
  for (Column& column : columns) {
    result.columns.push_back(std::move(column.heading));
    request.columns.push_back(column.read);
  }
  result.rows = cube.cells().ReadFactRows(request, deadline);
  return result;
}

}  // namespace orvex::engine
