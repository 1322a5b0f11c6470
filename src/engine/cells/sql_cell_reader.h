#pragma once
#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/cells/aggregate_table.h"
#include "engine/cells/cell_cache.h"
#include "engine/cells/cell_reader.h"
#include "engine/model/hierarchy.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/model/relation_sql.h"

namespace orvex::engine {

class Store;

// The cell reader of a cube over a SQL store. Cells missing from the cache
// are grouped by the levels their coordinates touch. A group whose cells a
// cached answer at finer levels holds whole is added up from it (sums,
// counts, minima and maxima; never averages or distinct counts). Every other
// group becomes one SELECT ... GROUP BY over the fact table joined to the
// dimensions involved, filtered to the key values of the members asked for.
// Every row the store returns is cached, so neighbours of the cells asked
// for come free. A cell over a set of tuples (CellRequest::filter) is read
// with one condition that a row lies under any of them, so that a distinct
// count counts each value once over the whole set. Thread-safe; queries run outside the cache's lock.
class SqlCellReader final : public CellReader {
 public:
  struct Options {
    // Above this many distinct values of one key column a query reads the
    // whole level rather than send a long IN list.
    size_t max_filter_values = 1000;
    // Cached cells, whole answers included; about 200 bytes each.
    size_t max_cached_cells = 1'000'000;
  };
  // `store` and `hierarchies` must outlive the reader; `aggregates` maps every
  // stored measure of the cube to its aggregate SQL ("SUM(\"f\".\"x\")").
  SqlCellReader(const Store& store, detail::RelationSql fact, std::vector<const Hierarchy*> hierarchies,
                std::unordered_map<const Measure*, std::string> aggregates, Options options);
  SqlCellReader(const SqlCellReader&) = delete;
  SqlCellReader& operator=(const SqlCellReader&) = delete;

  // The cube's aggregate tables, in the order they are tried; set before the
  // first Fetch. A group of cells that one of them can answer (it holds every
  // level the cells are grouped and filtered by, and every measure asked
  // for) reads it instead of the fact table; the answer is the same.
  void SetAggregateTables(std::vector<AggregateTable> tables) { aggregate_tables_ = std::move(tables); }

  // The SQL of each stored measure's value in one fact row ("\"f\".\"x\""),
  // for drill-through; set before the first ReadFactRows.
  void SetMeasureRowSql(std::unordered_map<const Measure*, std::string> row_sql) { row_sql_ = std::move(row_sql); }

  using CellReader::Fetch;
  void Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline deadline) override;
  // One SELECT over the fact table (never an aggregate table) joined to the
  // dimensions the columns and filters need, ordered by every column.
  RowSet ReadFactRows(const FactRowsRequest& request, Deadline deadline) override;

  // How many grouped queries have been sent to the store so far.
  size_t query_count() const { return query_count_.load(); }
  // The latest statements sent (up to kSqlLogSize), the oldest first: what
  // the reader asked of the store, for tests and for finding out why.
  static constexpr size_t kSqlLogSize = 32;
  std::vector<std::string> recent_sql() const;
  // Forgets every cached value (the next Fetch reads cold).
  void ClearCache() { cache_.Clear(); }

 private:
  struct Pending;
  struct Group;
  struct Plan;
  // Where request `index` lies; throws ComError for a request that does not fit the cube.
  Pending Locate(size_t index, const CellRequest& request) const;
  // The member of `coordinate` at `position` that restricts the fact rows:
  // nullptr for an all member or a hierarchy whose values `filter`'s tuples
  // decide. Throws EngineError for a member of another hierarchy.
  const Member* RestrictingMember(const Coordinate& coordinate, const TupleFilter* filter, size_t position) const;
  // Answers what it can of `group` from `segments`, removing those cells from it.
  void RollUp(Group& group, const std::vector<std::shared_ptr<const Segment>>& segments, std::span<CellValue> values);
  void Answer(Group& group, std::span<CellValue> values, Deadline deadline);
  Plan MakePlan(const Group& group);
  std::string FilterSql(const std::string& column, const std::set<KeyValue>& keys) const;
  // The condition that a fact row lies under one of `filter`'s tuples (one
  // IN list where the tuples allow, else an OR of their key conditions);
  // adds the joins it needs to `from`.
  std::string TupleFilterSql(const TupleFilter& filter, detail::RelationSql& from, const AggregateTable* table) const;
  // The first aggregate table that answers `group` exactly; nullptr for none.
  const AggregateTable* AggregateFor(const Group& group, const std::vector<const Measure*>& measures) const;
  // Where a query reads the key of `hierarchy`'s level at `depth`, and how it
  // joins the hierarchy's tables, from the fact table or from `table`.
  const std::string& KeySql(const Hierarchy& hierarchy, int depth, const AggregateTable* table) const;
  void Join(const Hierarchy& hierarchy, detail::RelationSql& from, const AggregateTable* table) const;
  // Ends the levels of a cell over a set of tuples; its keys end with the set's id.
  static constexpr int32_t kFilterMarker = -1;
  // Adds a parent-child hierarchy's column to `plan`: each member asked for
  // groups the fact rows of its whole subtree.
  void AddParentChildColumn(const Group& group, size_t level, const detail::LevelMapping& mapping, size_t column_index,
                            detail::RelationSql& from, std::vector<std::string>& key_columns,
                            std::vector<std::string>& filters, Plan& plan) const;
  // The keys of the members at one depth of a hierarchy: how many differ, and
  // the member each stands for (the first, should two share one).
  struct LevelKeys {
    size_t distinct = 0;  // how many different keys
    std::unordered_map<KeyValue, const Member*> members;
  };
  // Built once per reader and never changed afterwards.
  const LevelKeys& KeysAt(const Hierarchy& hierarchy, int depth);

  const Store& store_;
  detail::RelationSql fact_;
  std::vector<const Hierarchy*> hierarchies_;
  std::unordered_map<const Measure*, std::string> aggregates_;
  std::unordered_map<const Measure*, std::string> row_sql_;
  std::vector<AggregateTable> aggregate_tables_;
  Options options_;
  CellCache cache_;
  std::atomic<size_t> query_count_{0};
  mutable std::mutex sql_log_mutex_;
  std::vector<std::string> sql_log_;  // guarded by sql_log_mutex_
  std::mutex level_keys_mutex_;
  std::map<std::pair<const Hierarchy*, int>, LevelKeys> level_keys_;  // guarded by level_keys_mutex_
};

}  // namespace orvex::engine
