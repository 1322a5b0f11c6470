#include "engine/cells/sql_cell_reader.h"

#include <algorithm>
#include <map>
#include <set>

#include "engine/common/engine_error.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/model/level.h"
#include "engine/store/store.h"

namespace orvex::engine {
namespace {

bool IsAggregate(const Member* member) { return !member || member->is_all || member->level->is_all(); }

// The depth of the top level below the all level: cells are grouped by the
// keys of every level from there down to their own, so that cached answers
// can be added up to any ancestor level.
int PathTop(const Hierarchy& hierarchy) { return hierarchy.has_all() ? 1 : 0; }

// The depth of the highest level whose key a member at `depth` is filtered
// by: the member's own level when its keys are unique, else up to the top.
int TopKeyDepth(const Hierarchy& hierarchy, int depth) {
  const auto& levels = hierarchy.mapping().levels;
  int top = depth;
  while (!levels[static_cast<size_t>(top)].unique_members && top > 0 &&
         !hierarchy.levels()[static_cast<size_t>(top - 1)]->is_all()) {
    --top;
  }
  return top;
}

// A parent-child hierarchy's one level, below the all level if any.
const detail::LevelMapping* ParentChildLevel(const Hierarchy& hierarchy) {
  const auto& levels = hierarchy.mapping().levels;
  return !levels.empty() && levels.back().parent_child() ? &levels.back() : nullptr;
}

// A member's key path: its keys from the top level down to its own. A
// parent-child member's key alone names it, whatever its depth.
void AppendKeyPath(const Hierarchy& hierarchy, const Member& member, std::vector<KeyValue>& keys) {
  if (ParentChildLevel(hierarchy)) {
    keys.push_back(member.key);
    return;
  }
  int top = PathTop(hierarchy);
  size_t start = keys.size();
  // Through the members a ragged level hides, too: their keys are in the rows.
  for (const Member* step = &member; step && step->depth() >= top; step = step->stored_parent()) {
    keys.push_back(step->key);
  }
  std::reverse(keys.begin() + static_cast<ptrdiff_t>(start), keys.end());
}

// An aggregate as the store returned it: decimals stay exact, so that adding
// them up again later gives the same figure whatever the order.
CellValue ToCellValue(const KeyValue& value) {
  if (const auto* exact = std::get_if<Decimal>(&value)) return CellNumber(*exact);
  double number = 0;
  return ToDouble(value, number) ? CellValue(number) : std::nullopt;
}

const Member* AncestorAt(const Member* member, int depth) {
  while (member->depth() > depth) member = member->stored_parent();
  return member;
}

}  // namespace

struct SqlCellReader::Pending {
  size_t request;
  CellKey key;
  std::vector<const Member*> members;  // the coordinate's members that are not aggregates
  const TupleFilter* filter = nullptr;
};

// The cells of one level combination that the cache could not answer.
struct SqlCellReader::Group {
  std::vector<const Hierarchy*> hierarchies;  // one per level of the combination, in hierarchy order
  ColumnList columns;                         // the key columns: (hierarchy index, depth)
  std::vector<Pending> cells;
  const TupleFilter* filter = nullptr;        // the same for every cell of the group
};

// One grouped query: its SQL, the key columns of its answer with their
// filters, and where each column's values come from. The SQL groups a member
// at a unique level by its own key only, which is much cheaper than grouping
// by every ancestor's key too; the ancestors' keys are filled in from the
// member tree, so that the answer can still be added up to ancestor levels.
struct SqlCellReader::Plan {
  struct Source {
    size_t sql_column = 0;                 // the SQL result column holding the key, or of the member it derives from
    const LevelKeys* derived = nullptr;    // set: the key is the ancestor's at `depth` of the member found here
    int depth = 0;
  };
  std::string sql;
  std::vector<SegmentColumn> columns;
  std::vector<Source> sources;
  size_t sql_keys = 0;
  std::vector<const Measure*> measures;
};

SqlCellReader::SqlCellReader(const Store& store, detail::RelationSql fact, std::vector<const Hierarchy*> hierarchies,
                             std::unordered_map<const Measure*, std::string> aggregates, Options options)
    : store_(store), fact_(std::move(fact)), hierarchies_(std::move(hierarchies)),
      aggregates_(std::move(aggregates)), options_(options), cache_(options.max_cached_cells) {}

const Member* SqlCellReader::RestrictingMember(const Coordinate& coordinate, const TupleFilter* filter,
                                               size_t position) const {
  const Member* member = coordinate[position];
  if (IsAggregate(member)) return nullptr;
  if (filter &&
      std::binary_search(filter->hierarchies.begin(), filter->hierarchies.end(), static_cast<int32_t>(position))) {
    return nullptr;  // the filter's tuples decide this hierarchy
  }
  if (&member->level->hierarchy() != hierarchies_[position]) {
    throw EngineError("The member " + member->unique_name + " is not of the hierarchy " +
                      hierarchies_[position]->unique_name() + ".");
  }
  return member;
}

SqlCellReader::Pending SqlCellReader::Locate(size_t index, const CellRequest& request) const {
  if (!request.measure || aggregates_.count(request.measure) == 0) {
    throw EngineError("A cell was asked for a measure that is not a stored measure of this cube.");
  }
  if (!request.coordinate || request.coordinate->size() != hierarchies_.size()) {
    throw EngineError("A cell's coordinate does not have one member per hierarchy of the cube.");
  }
  Pending cell{index, CellKey{request.measure, {}, {}}, {}, request.filter};
  for (size_t position = 0; position < hierarchies_.size(); ++position) {
    const Member* member = RestrictingMember(*request.coordinate, request.filter, position);
    if (!member) continue;
    cell.key.levels.push_back(static_cast<int32_t>(position));
    // Parent-child members of every depth share one column, and so one query.
    cell.key.levels.push_back(ParentChildLevel(*hierarchies_[position]) ? member->level->depth() : member->depth());
    AppendKeyPath(*hierarchies_[position], *member, cell.key.keys);
    cell.members.push_back(member);
  }
  if (request.filter) {
    // A cell over a set of tuples is cached apart from every plain cell.
    cell.key.levels.push_back(kFilterMarker);
    cell.key.keys.emplace_back(request.filter->id);
  }
  return cell;
}

void SqlCellReader::Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline deadline) {
  if (values.size() < requests.size()) throw EngineError("Fewer cell values than cell requests.");
  std::map<std::pair<std::vector<int32_t>, std::string>, Group> groups;
  for (size_t index = 0; index < requests.size(); ++index) {
    // Placing a million requests takes a while: a statement out of time stops here too.
    if (index % 4096 == 4095 && deadline != kNoDeadline && std::chrono::steady_clock::now() >= deadline) {
      throw EngineError("The cells were not read: the statement's time was up.");
    }
    Pending cell = Locate(index, requests[index]);
    if (cell.filter && cell.filter->tuples.empty()) {
      values[index] = std::nullopt;  // aggregated over no tuple at all
      continue;
    }
    if (auto cached = cache_.Find(cell.key)) {
      values[index] = *cached;
      continue;
    }
    Group& group = groups[{cell.key.levels, cell.filter ? cell.filter->id : std::string()}];
    if (group.cells.empty()) {
      group.filter = cell.filter;
      for (const Member* member : cell.members) {
        const Hierarchy& hierarchy = member->level->hierarchy();
        group.hierarchies.push_back(&hierarchy);
        if (ParentChildLevel(hierarchy)) {
          group.columns.emplace_back(hierarchy.index(), member->level->depth());
          continue;
        }
        for (int depth = PathTop(hierarchy); depth <= member->depth(); ++depth) {
          group.columns.emplace_back(hierarchy.index(), depth);
        }
      }
    }
    group.cells.push_back(std::move(cell));
  }
  // The finest groups go first, so that coarser ones of the same fetch can be
  // added up from their answers instead of being queried.
  std::vector<Group*> order;
  for (auto& [levels, group] : groups) order.push_back(&group);
  std::stable_sort(order.begin(), order.end(),
                   [](const Group* a, const Group* b) { return a->columns.size() > b->columns.size(); });
  for (Group* group : order) {
    // A cached answer holds no filter over tuples: a filtered cell cannot be added up from one.
    if (!group->filter) RollUp(*group, cache_.Segments(), values);
    if (!group->cells.empty()) Answer(*group, values, deadline);
  }
}

void SqlCellReader::RollUp(Group& group, const std::vector<std::shared_ptr<const Segment>>& segments,
                           std::span<CellValue> values) {
  std::vector<std::pair<CellKey, CellValue>> answered;
  std::vector<bool> done(group.cells.size(), false);
  std::set<const Measure*> measures;
  for (const auto& cell : group.cells) measures.insert(cell.key.measure);
  for (const Measure* measure : measures) {
    for (const auto& segment : segments) {
      auto totals = segment->RollUp(*measure, group.columns);
      if (!totals) continue;
      cache_.MarkUsed(*segment);
      for (size_t index = 0; index < group.cells.size(); ++index) {
        const Pending& cell = group.cells[index];
        if (done[index] || cell.key.measure != measure || !segment->Covers(group.columns, cell.key.keys)) continue;
        auto found = totals->find(cell.key.keys);
        values[cell.request] = found == totals->end() ? CellValue() : CellValue(found->second);
        answered.emplace_back(cell.key, values[cell.request]);
        done[index] = true;
      }
    }
  }
  if (answered.empty()) return;
  std::vector<Pending> remaining;
  for (size_t index = 0; index < group.cells.size(); ++index) {
    if (!done[index]) remaining.push_back(std::move(group.cells[index]));
  }
  group.cells = std::move(remaining);
  cache_.Insert(std::move(answered), nullptr);
}

void SqlCellReader::Answer(Group& group, std::span<CellValue> values, Deadline deadline) {
  Plan plan = MakePlan(group);
  {
    std::lock_guard lock(sql_log_mutex_);
    if (sql_log_.size() == kSqlLogSize) sql_log_.erase(sql_log_.begin());
    sql_log_.push_back(plan.sql);
  }
  RowSet rows = store_.Query(plan.sql, deadline);
  query_count_.fetch_add(1);

  size_t columns = plan.columns.size();
  std::vector<KeyValue> keys;
  std::vector<CellValue> numbers;
  keys.reserve(rows.row_count() * columns);
  numbers.reserve(rows.row_count() * plan.measures.size());
  for (size_t row = 0; row < rows.row_count(); ++row) {
    for (const auto& source : plan.sources) {
      const KeyValue& key = rows.at(row, source.sql_column);
      if (!source.derived) {
        keys.push_back(key);
        continue;
      }
      auto member = source.derived->members.find(key);
      keys.push_back(member == source.derived->members.end() ? KeyValue() : AncestorAt(member->second, source.depth)->key);
    }
    for (size_t measure = 0; measure < plan.measures.size(); ++measure) {
      numbers.push_back(ToCellValue(rows.at(row, plan.sql_keys + measure)));
    }
  }

  std::unordered_map<CellKey, CellValue, CellKeyHash> answer;
  answer.reserve(numbers.size());
  const std::vector<int32_t>& levels = group.cells.front().key.levels;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    std::vector<KeyValue> row_keys(keys.begin() + static_cast<ptrdiff_t>(row * columns),
                                   keys.begin() + static_cast<ptrdiff_t>((row + 1) * columns));
    if (group.filter) row_keys.emplace_back(group.filter->id);
    for (size_t measure = 0; measure < plan.measures.size(); ++measure) {
      answer.emplace(CellKey{plan.measures[measure], levels, row_keys}, numbers[row * plan.measures.size() + measure]);
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
  // An answer too large for the cache keeps only the cells asked for, so that
  // one huge crossing cannot push everything else out.
  if (answer.size() + numbers.size() > options_.max_cached_cells / 2) {
    std::vector<std::pair<CellKey, CellValue>> asked;
    for (const Pending& cell : group.cells) asked.emplace_back(cell.key, values[cell.request]);
    cache_.Insert(std::move(asked), nullptr);
    return;
  }
  std::vector<std::pair<CellKey, CellValue>> cells(std::make_move_iterator(answer.begin()),
                                                   std::make_move_iterator(answer.end()));
  cache_.Insert(std::move(cells), group.filter ? nullptr
                                              : std::make_shared<const Segment>(plan.columns, plan.measures,
                                                                                std::move(keys), std::move(numbers)));
}

namespace {

// Whether a member at `depth` of `hierarchy`, shown or hidden, has a key
// that `allowed` lacks. Asked of a few keys on a large level, the first
// member mostly answers: no index of the level's keys is built for it.
bool HasKeyOutside(const Hierarchy& hierarchy, int depth, const std::set<KeyValue>& allowed) {
  for (const auto* members : {&hierarchy.LevelMembers(depth), &hierarchy.HiddenMembers(depth)}) {
    for (const Member* member : *members) {
      if (allowed.count(member->key) == 0) return true;
    }
  }
  return false;
}

}  // namespace

SqlCellReader::Plan SqlCellReader::MakePlan(const Group& group) {
  Plan plan;
  for (const auto& cell : group.cells) {
    if (std::find(plan.measures.begin(), plan.measures.end(), cell.key.measure) == plan.measures.end()) {
      plan.measures.push_back(cell.key.measure);
    }
  }
  const AggregateTable* table = AggregateFor(group, plan.measures);
  detail::RelationSql from = table ? table->relation : fact_;
  std::vector<std::string> key_columns;
  std::vector<std::string> filters;
  size_t column_index = 0;
  for (size_t level = 0; level < group.hierarchies.size(); ++level) {
    const Hierarchy& hierarchy = *group.hierarchies[level];
    Join(hierarchy, from, table);

    if (const auto* parent_child = ParentChildLevel(hierarchy)) {
      AddParentChildColumn(group, level, *parent_child, column_index++, from, key_columns, filters, plan);
      continue;
    }
    int depth = group.cells.front().members[level]->depth();
    int top_key = TopKeyDepth(hierarchy, depth);
    for (int key_depth = PathTop(hierarchy); key_depth < top_key; ++key_depth, ++column_index) {
      // Above a unique level: filled in from the member tree, not grouped by the store.
      plan.sources.push_back({key_columns.size(), &KeysAt(hierarchy, top_key), key_depth});
      plan.columns.push_back({group.columns[column_index].first, key_depth, false, {}});
    }
    for (int key_depth = top_key; key_depth <= depth; ++key_depth, ++column_index) {
      const std::string& column = KeySql(hierarchy, key_depth, table);
      plan.sources.push_back({key_columns.size(), nullptr, key_depth});
      key_columns.push_back(column);
      // Each key column from the nearest unique level down is filtered to the
      // values the members asked for hold at its depth. The product of these
      // lists may hold more than was asked for; those cells are exact too,
      // since every column filtered is grouped.
      SegmentColumn segment_column{group.columns[column_index].first, key_depth, false, {}};
      for (const auto& cell : group.cells) segment_column.allowed.insert(AncestorAt(cell.members[level], key_depth)->key);
      // A list of every value the column holds filters nothing; leaving it out
      // also lets coarser cells be added up from this answer later.
      if (segment_column.allowed.size() <= options_.max_filter_values &&
          HasKeyOutside(hierarchy, key_depth, segment_column.allowed)) {
        segment_column.filtered = true;
        filters.push_back(FilterSql(column, segment_column.allowed));
      } else {
        segment_column.allowed.clear();
      }
      plan.columns.push_back(std::move(segment_column));
    }
  }

  if (group.filter) filters.push_back(TupleFilterSql(*group.filter, from, table));

  plan.sql_keys = key_columns.size();
  Store::GroupedSelect select;
  for (size_t measure = 0; measure < plan.measures.size(); ++measure) {
    const Measure* asked = plan.measures[measure];
    const std::string* sql = &aggregates_.at(asked);
    if (table) sql = table->aggregates.count(asked) ? &table->aggregates.at(asked) : &table->exact.at(asked);
    select.aggregates.push_back(*sql);
  }
  select.keys = std::move(key_columns);
  select.tables = from.tables();
  select.links = from.conditions();
  select.filters = std::move(filters);
  plan.sql = store_.GroupedSelectSql(select);
  return plan;
}

void SqlCellReader::AddParentChildColumn(const Group& group, size_t level, const detail::LevelMapping& mapping,
                                         size_t column_index, detail::RelationSql& from,
                                         std::vector<std::string>& key_columns, std::vector<std::string>& filters,
                                         Plan& plan) const {
  // A member's cell holds its own fact rows and all its descendants': the
  // fact rows are joined to (ancestor, descendant) pairs and grouped by the
  // ancestor. The closure table holds the pairs; without one they are listed
  // from the member tree for the members asked for only.
  SegmentColumn column{group.columns[column_index].first, group.columns[column_index].second, true, {}};
  for (const auto& cell : group.cells) column.allowed.insert(cell.members[level]->key);
  std::string ancestor;
  if (!mapping.closure_table.empty()) {
    from.AddTable({mapping.closure_alias, mapping.closure_table, "", ""});
    from.AddCondition({mapping.key_table, mapping.closure_alias, mapping.key_sql + " = " + mapping.closure_child_sql});
    ancestor = mapping.closure_parent_sql;
    // Beyond the list's limit every ancestor is grouped; the column still
    // holds only the members asked for, so it is never added up further.
    if (column.allowed.size() <= options_.max_filter_values) filters.push_back(FilterSql(ancestor, column.allowed));
  } else {
    // Without a closure table the store walks the parent column down from
    // the members asked for, in one recursive statement: listing the pairs
    // here would send every descendant of a top member (100,000 pairs for a
    // tree that size). UNION, not UNION ALL: a key the table holds twice
    // gives its pairs once, and a cycle below no member asked ends.
    const std::string dimension = group.hierarchies[level]->mapping().relation.FromClause(store_);
    std::string walk = "(WITH RECURSIVE \"orvex_walk\"(\"ancestor\", \"descendant\") AS (SELECT " + mapping.key_sql +
                       ", " + mapping.key_sql + " FROM " + dimension + " WHERE " +
                       FilterSql(mapping.key_sql, column.allowed) + " UNION SELECT \"orvex_walk\".\"ancestor\", " +
                       mapping.key_sql + " FROM " + dimension + " JOIN \"orvex_walk\" ON " + mapping.parent_sql +
                       " = \"orvex_walk\".\"descendant\") SELECT \"ancestor\", \"descendant\" FROM \"orvex_walk\") AS "
                       "\"orvex_closure\"";
    from.AddTable({"orvex_closure", walk, "", ""});
    from.AddCondition({mapping.key_table, "orvex_closure", mapping.key_sql + " = \"orvex_closure\".\"descendant\""});
    ancestor = "\"orvex_closure\".\"ancestor\"";
  }
  plan.sources.push_back({key_columns.size(), nullptr, column.depth});
  key_columns.push_back(ancestor);
  plan.columns.push_back(std::move(column));
}

const AggregateTable* SqlCellReader::AggregateFor(const Group& group, const std::vector<const Measure*>& measures) const {
  for (const AggregateTable& table : aggregate_tables_) {
    bool exact = false;
    bool answers = std::all_of(measures.begin(), measures.end(), [&](const Measure* measure) {
      if (table.aggregates.count(measure) > 0) return true;
      exact = exact || table.exact.count(measure) > 0;
      return table.exact.count(measure) > 0;
    });
    auto covers = [&](const Hierarchy& hierarchy, const Member& member) {
      const AggregateTable::Link& link = table.links[static_cast<size_t>(hierarchy.index())];
      if (link.kind == AggregateTable::Link::Kind::kForeignKey) return true;
      return link.kind == AggregateTable::Link::Kind::kLevels && !ParentChildLevel(hierarchy) &&
             member.depth() <= link.deepest;
    };
    for (size_t level = 0; answers && level < group.hierarchies.size(); ++level) {
      answers = covers(*group.hierarchies[level], *group.cells.front().members[level]);
    }
    if (answers && group.filter) {
      for (const auto& tuple : group.filter->tuples) {
        for (size_t index = 0; answers && index < tuple.size(); ++index) {
          if (IsAggregate(tuple[index])) continue;
          answers = covers(*hierarchies_[static_cast<size_t>(group.filter->hierarchies[index])], *tuple[index]);
        }
      }
    }
    if (answers && exact) {
      // A distinct count stored per row of the table is the answer only for
      // those very rows: every level the table holds, grouped as it is.
      answers = !group.filter;
      for (size_t position = 0; answers && position < table.links.size(); ++position) {
        const AggregateTable::Link& link = table.links[position];
        if (link.kind == AggregateTable::Link::Kind::kNone) continue;
        auto found = std::find(group.hierarchies.begin(), group.hierarchies.end(), hierarchies_[position]);
        answers = link.kind == AggregateTable::Link::Kind::kLevels && found != group.hierarchies.end() &&
                  group.cells.front().members[static_cast<size_t>(found - group.hierarchies.begin())]->depth() ==
                      link.deepest;
      }
    }
    if (answers) return &table;
  }
  return nullptr;
}

const std::string& SqlCellReader::KeySql(const Hierarchy& hierarchy, int depth, const AggregateTable* table) const {
  if (table) {
    const AggregateTable::Link& link = table->links[static_cast<size_t>(hierarchy.index())];
    if (link.kind == AggregateTable::Link::Kind::kLevels) return link.level_sql[static_cast<size_t>(depth)];
  }
  return hierarchy.mapping().levels[static_cast<size_t>(depth)].key_sql;
}

void SqlCellReader::Join(const Hierarchy& hierarchy, detail::RelationSql& from, const AggregateTable* table) const {
  const auto& mapping = hierarchy.mapping();
  if (table) {
    const AggregateTable::Link& link = table->links[static_cast<size_t>(hierarchy.index())];
    if (link.kind == AggregateTable::Link::Kind::kLevels) return;  // the keys are the table's own columns
    from.Merge(mapping.relation);
    from.AddCondition(link.join);
    return;
  }
  from.Merge(mapping.relation);
  if (mapping.fact_link) from.AddCondition(*mapping.fact_link);
}

std::string SqlCellReader::TupleFilterSql(const TupleFilter& filter, detail::RelationSql& from,
                                          const AggregateTable* table) const {
  for (int32_t position : filter.hierarchies) Join(*hierarchies_[static_cast<size_t>(position)], from, table);
  // The conditions of one member: its key path from the nearest unique level
  // down, or in a parent-child hierarchy the keys of its whole subtree.
  auto member_sql = [&](const Hierarchy& hierarchy, const Member& member) -> std::string {
    if (const auto* parent_child = ParentChildLevel(hierarchy)) {
      std::set<KeyValue> subtree;
      std::vector<const Member*> below{&member};
      while (!below.empty()) {
        const Member* descendant = below.back();
        below.pop_back();
        subtree.insert(descendant->key);
        below.insert(below.end(), descendant->children().begin(), descendant->children().end());
      }
      return FilterSql(parent_child->key_sql, subtree);
    }
    std::string conditions;
    for (int depth = TopKeyDepth(hierarchy, member.depth()); depth <= member.depth(); ++depth) {
      conditions += (conditions.empty() ? "" : " AND ") +
                    FilterSql(KeySql(hierarchy, depth, table), {AncestorAt(&member, depth)->key});
    }
    return conditions;
  };
  // One hierarchy whose members all sit at one unique level: a plain IN list.
  if (filter.hierarchies.size() == 1) {
    const Hierarchy& hierarchy = *hierarchies_[static_cast<size_t>(filter.hierarchies[0])];
    bool one_level = !ParentChildLevel(hierarchy);
    std::set<KeyValue> keys;
    for (const auto& tuple : filter.tuples) {
      const Member* member = tuple[0];
      one_level = one_level && !IsAggregate(member) && member->depth() == filter.tuples[0][0]->depth() &&
                  TopKeyDepth(hierarchy, member->depth()) == member->depth();
      if (one_level) keys.insert(member->key);
    }
    if (one_level) {
      return FilterSql(KeySql(hierarchy, filter.tuples[0][0]->depth(), table), keys);
    }
  }
  std::string any;
  for (const auto& tuple : filter.tuples) {
    std::string all;
    for (size_t index = 0; index < tuple.size(); ++index) {
      if (IsAggregate(tuple[index])) continue;
      std::string condition = member_sql(*hierarchies_[static_cast<size_t>(filter.hierarchies[index])], *tuple[index]);
      all += (all.empty() ? "" : " AND ") + ("(" + condition + ")");
    }
    if (all.empty()) return "TRUE";  // a tuple of all members takes every row
    any += (any.empty() ? "" : " OR ") + ("(" + all + ")");
  }
  return "(" + any + ")";
}

std::string SqlCellReader::FilterSql(const std::string& column, const std::set<KeyValue>& keys) const {
  std::string in;
  bool has_null = false;
  for (const auto& key : keys) {
    if (std::holds_alternative<std::monostate>(key)) {
      has_null = true;
    } else {
      in += (in.empty() ? "" : ", ") + store_.Literal(key);
    }
  }
  std::string filter = in.empty() ? "" : column + " IN (" + in + ")";
  if (has_null) filter = filter.empty() ? column + " IS NULL" : "(" + filter + " OR " + column + " IS NULL)";
  return filter;
}

std::vector<std::string> SqlCellReader::recent_sql() const {
  std::lock_guard lock(sql_log_mutex_);
  return sql_log_;
}

const SqlCellReader::LevelKeys& SqlCellReader::KeysAt(const Hierarchy& hierarchy, int depth) {
  std::lock_guard lock(level_keys_mutex_);
  auto [entry, added] = level_keys_.try_emplace({&hierarchy, depth});
  if (added) {
    for (const Member* member : hierarchy.LevelMembers(depth)) entry->second.members.emplace(member->key, member);
    for (const Member* member : hierarchy.HiddenMembers(depth)) entry->second.members.emplace(member->key, member);
    entry->second.distinct = entry->second.members.size();
  }
  return entry->second;
}

}  // namespace orvex::engine
