// Drill-through: the fact rows behind one cell, read with the same joins and
// key conditions as the cell's own grouped query, so that the rows are
// exactly those the cell adds up.
#include "engine/cells/sql_cell_reader.h"

#include <algorithm>
#include <string>

#include "engine/common/engine_error.h"
#include "engine/model/level.h"
#include "engine/store/store.h"

namespace orvex::engine {

RowSet SqlCellReader::ReadFactRows(const FactRowsRequest& request, Deadline deadline) {
  if (!request.coordinate || request.coordinate->size() != hierarchies_.size()) {
    throw EngineError("A cell's coordinate does not have one member per hierarchy of the cube.");
  }
  if (request.columns.empty()) throw EngineError("Drill-through needs at least one column.");
  if (request.max_rows <= 0) throw EngineError("Drill-through needs a row limit above 0.");
  detail::RelationSql from = fact_;
  std::string select;
  std::vector<std::string> names;
  std::vector<std::string> expressions;
  for (const FactColumn& column : request.columns) {
    std::string sql;
    if (column.kind == FactColumn::Kind::kMeasure) {
      auto found = column.measure ? row_sql_.find(column.measure) : row_sql_.end();
      if (found == row_sql_.end()) throw EngineError("A drill-through column names a measure this cube does not store.");
      sql = found->second;
    } else {
      // By position: a role's cube names its own hierarchies, whose columns are this reader's.
      int index = column.hierarchy ? column.hierarchy->index() : -1;
      if (index < 0 || static_cast<size_t>(index) >= hierarchies_.size()) {
        throw EngineError("A drill-through column names a hierarchy this cube does not have.");
      }
      const Hierarchy& hierarchy = *hierarchies_[static_cast<size_t>(index)];
      const auto& levels = hierarchy.mapping().levels;
      if (column.depth < 0 || static_cast<size_t>(column.depth) >= levels.size() ||
          hierarchy.levels()[static_cast<size_t>(column.depth)]->is_all()) {
        throw EngineError("A drill-through column names a level that has no column of its own.");
      }
      Join(hierarchy, from, nullptr);
      const detail::LevelMapping& level = levels[static_cast<size_t>(column.depth)];
      sql = column.kind == FactColumn::Kind::kKey    ? level.key_sql
            : column.kind == FactColumn::Kind::kName ? level.name_sql
                                                     : level.caption_sql;
    }
    // Named apart: two columns may read one expression, and not every store takes that twice.
    std::string name = "c" + std::to_string(names.size() + 1);
    select += (select.empty() ? "" : ", ") + sql + " AS " + store_.QuoteIdentifier(name);
    names.push_back(std::move(name));
    expressions.push_back(std::move(sql));
  }

  std::vector<std::string> filters;
  // The cell's own members, as one tuple: the same key conditions a filter over them writes.
  TupleFilter cell;
  std::vector<const Member*> tuple;
  for (size_t position = 0; position < hierarchies_.size(); ++position) {
    const Member* member = RestrictingMember(*request.coordinate, request.filter, position);
    if (!member) continue;
    cell.hierarchies.push_back(static_cast<int32_t>(position));
    tuple.push_back(member);
  }
  if (!tuple.empty()) {
    cell.tuples.push_back(std::move(tuple));
    filters.push_back(TupleFilterSql(cell, from, nullptr));
  }
  if (request.filter) {
    if (request.filter->tuples.empty()) return RowSet(names);  // over no tuple at all: no row
    filters.push_back(TupleFilterSql(*request.filter, from, nullptr));
  }

  std::string sql = "SELECT " + select + " FROM " + from.FromClause(store_);
  for (size_t index = 0; index < filters.size(); ++index) sql += (index == 0 ? " WHERE " : " AND ") + filters[index];
  sql += " ORDER BY ";
  for (size_t index = 0; index < names.size(); ++index) {
    sql += (index == 0 ? "" : ", ") + store_.SelectListKey(index + 1, expressions[index]);
  }
  sql += " LIMIT " + std::to_string(request.max_rows);
  {
    std::lock_guard lock(sql_log_mutex_);
    if (sql_log_.size() == kSqlLogSize) sql_log_.erase(sql_log_.begin());
    sql_log_.push_back(sql);
  }
  return store_.Query(sql, deadline);
}

}  // namespace orvex::engine
