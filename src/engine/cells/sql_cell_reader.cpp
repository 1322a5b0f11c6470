#include "engine/cells/sql_cell_reader.h"

#include <algorithm>
#include <map>
#include <set>

#include "engine/model/engine_error.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/model/level.h"
#include "engine/store/store.h"

namespace orvex::engine {
namespace {

bool IsAggregate(const Member* member) { return !member || member->is_all || member->level->is_all(); }

// The depth of the highest level whose key a member at `depth` is grouped and
// filtered by: the member's own level when its keys are unique, else up to
// the top level below the all level.
int TopKeyDepth(const Hierarchy& hierarchy, int depth) {
  const auto& levels = hierarchy.mapping().levels;
  int top = depth;
  while (!levels[static_cast<size_t>(top)].unique_members && top > 0 &&
         !hierarchy.levels()[static_cast<size_t>(top - 1)]->is_all()) {
    --top;
  }
  return top;
}

// A member's key path: its keys from the top key depth down to its own.
void AppendKeyPath(const Hierarchy& hierarchy, const Member& member, std::vector<KeyValue>& keys) {
  int top = TopKeyDepth(hierarchy, member.depth());
  size_t start = keys.size();
  for (const Member* step = &member; step && step->depth() >= top; step = step->parent) keys.push_back(step->key);
  std::reverse(keys.begin() + static_cast<ptrdiff_t>(start), keys.end());
}

}  // namespace

struct SqlCellReader::Pending {
  size_t request;
  CellKey key;
};

// The cells of one level combination that the cache could not answer.
struct SqlCellReader::Group {
  std::vector<int32_t> levels;
  std::vector<const Hierarchy*> hierarchies;  // one per level, in hierarchy order
  std::vector<std::set<const Member*>> members;  // per level: the members asked for
  std::vector<const Measure*> measures;
  std::vector<Pending> cells;
};

SqlCellReader::SqlCellReader(const Store& store, detail::RelationSql fact, std::vector<const Hierarchy*> hierarchies,
                             std::unordered_map<const Measure*, std::string> aggregates, Options options)
    : store_(store), fact_(std::move(fact)), hierarchies_(std::move(hierarchies)),
      aggregates_(std::move(aggregates)), options_(options), cache_(options.max_cached_cells) {}

void SqlCellReader::Fetch(std::span<const CellRequest> requests, std::span<CellValue> values) {
  if (values.size() < requests.size()) throw EngineError("Fewer cell values than cell requests.");
  std::map<std::vector<int32_t>, Group> groups;
  for (size_t index = 0; index < requests.size(); ++index) {
    const CellRequest& request = requests[index];
    if (!request.measure || aggregates_.count(request.measure) == 0) {
      throw EngineError("A cell was asked for a measure that is not a stored measure of this cube.");
    }
    if (!request.coordinate || request.coordinate->size() != hierarchies_.size()) {
      throw EngineError("A cell's coordinate does not have one member per hierarchy of the cube.");
    }
    CellKey key;
    key.measure = request.measure;
    std::vector<const Member*> involved;
    for (size_t position = 0; position < hierarchies_.size(); ++position) {
      const Member* member = (*request.coordinate)[position];
      if (IsAggregate(member)) continue;
      if (&member->level->hierarchy() != hierarchies_[position]) {
        throw EngineError("The member " + member->unique_name + " is not of the hierarchy " +
                          hierarchies_[position]->unique_name() + ".");
      }
      key.levels.push_back(static_cast<int32_t>(position));
      key.levels.push_back(member->depth());
      AppendKeyPath(*hierarchies_[position], *member, key.keys);
      involved.push_back(member);
    }
    if (auto cached = cache_.Find(key)) {
      values[index] = *cached;
      continue;
    }
    Group& group = groups[key.levels];
    if (group.cells.empty()) {
      group.levels = key.levels;
      group.members.resize(involved.size());
      for (const Member* member : involved) group.hierarchies.push_back(&member->level->hierarchy());
    }
    for (size_t level = 0; level < involved.size(); ++level) group.members[level].insert(involved[level]);
    if (std::find(group.measures.begin(), group.measures.end(), request.measure) == group.measures.end()) {
      group.measures.push_back(request.measure);
    }
    group.cells.push_back(Pending{index, std::move(key)});
  }
  for (auto& [levels, group] : groups) Answer(group, values);
}

void SqlCellReader::Answer(Group& group, std::span<CellValue> values) {
  RowSet rows = store_.Query(BuildSql(group));
  query_count_.fetch_add(1);

  size_t key_count = rows.column_count() - group.measures.size();
  std::unordered_map<CellKey, CellValue, CellKeyHash> answer;
  answer.reserve(rows.row_count() * group.measures.size());
  for (size_t row = 0; row < rows.row_count(); ++row) {
    std::vector<KeyValue> keys;
    keys.reserve(key_count);
    for (size_t column = 0; column < key_count; ++column) keys.push_back(rows.at(row, column));
    for (size_t measure = 0; measure < group.measures.size(); ++measure) {
      double number = 0;
      CellValue value;
      if (ToDouble(rows.at(row, key_count + measure), number)) value = number;
      answer.emplace(CellKey{group.measures[measure], group.levels, keys}, value);
    }
  }
  for (const Pending& cell : group.cells) {
    auto found = answer.find(cell.key);
    if (found == answer.end()) {
      // No fact row falls in the cell: it is empty, and stays known to be.
      values[cell.request] = std::nullopt;
      answer.emplace(cell.key, std::nullopt);
    } else {
      values[cell.request] = found->second;
    }
  }
  std::vector<std::pair<CellKey, CellValue>> cells(std::make_move_iterator(answer.begin()),
                                                   std::make_move_iterator(answer.end()));
  cache_.Insert(std::move(cells));
}

std::string SqlCellReader::BuildSql(const Group& group) const {
  detail::RelationSql from = fact_;
  std::vector<std::string> key_columns;
  std::vector<std::string> filters;
  for (size_t level = 0; level < group.hierarchies.size(); ++level) {
    const Hierarchy& hierarchy = *group.hierarchies[level];
    const auto& mapping = hierarchy.mapping();
    from.Merge(mapping.relation);
    if (mapping.fact_link) from.AddCondition(*mapping.fact_link);

    int depth = group.levels[level * 2 + 1];
    int top = TopKeyDepth(hierarchy, depth);
    for (int key_depth = top; key_depth <= depth; ++key_depth) {
      const std::string& column = mapping.levels[static_cast<size_t>(key_depth)].key_sql;
      key_columns.push_back(column);
      // Each key column is filtered to the values the members asked for hold
      // at its depth. The product of these lists may hold more than was asked
      // for; those cells are exact too, since every column filtered is grouped.
      std::set<KeyValue> keys;
      bool has_null = false;
      for (const Member* member : group.members[level]) {
        const Member* step = member;
        while (step->depth() > key_depth) step = step->parent;
        if (std::holds_alternative<std::monostate>(step->key)) {
          has_null = true;
        } else {
          keys.insert(step->key);
        }
      }
      if (keys.size() > options_.max_filter_values) continue;
      std::string in;
      for (const auto& key : keys) in += (in.empty() ? "" : ", ") + store_.Literal(key);
      std::string filter;
      if (!keys.empty()) filter = column + " IN (" + in + ")";
      if (has_null) filter = filter.empty() ? column + " IS NULL" : "(" + filter + " OR " + column + " IS NULL)";
      filters.push_back(filter);
    }
  }

  std::string sql = "SELECT ";
  for (const auto& column : key_columns) sql += column + ", ";
  for (size_t measure = 0; measure < group.measures.size(); ++measure) {
    if (measure > 0) sql += ", ";
    sql += aggregates_.at(group.measures[measure]);
  }
  sql += " FROM " + from.FromClause();
  for (size_t index = 0; index < filters.size(); ++index) sql += (index == 0 ? " WHERE " : " AND ") + filters[index];
  if (key_columns.empty()) {
    // Without grouping an empty fact table would still give one row of NULLs and zero counts.
    sql += " HAVING COUNT(*) > 0";
  } else {
    sql += " GROUP BY ";
    for (size_t index = 0; index < key_columns.size(); ++index) {
      sql += (index == 0 ? "" : ", ") + std::to_string(index + 1);
    }
  }
  return sql;
}

}  // namespace orvex::engine
