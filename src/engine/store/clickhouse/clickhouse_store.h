#pragma once
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/store/clickhouse/clickhouse_connection.h"
#include "engine/store/clickhouse/clickhouse_settings.h"
#include "engine/store/connection_pool.h"
#include "engine/store/store.h"

namespace orvex::engine {

// `sql` with the columns its table subqueries rename but nothing else uses
// left out (see ClickHouseStore::FromClause); other text is kept as it is.
std::string PruneRenamedColumns(std::string_view sql);

// A catalog's tables on a ClickHouse server or cluster, reached over HTTP
// through a pool of keep-alive connections to the first server of the
// settings. A connection that failed is dropped, and the next statement
// opens a new one, so the store recovers by itself once a server is back.
//
// ClickHouse's older releases take one JOIN per SELECT and resolve table
// qualifiers poorly across a Distributed table, so every column is named
// `alias.column` (one identifier) and each table is a subquery renaming its
// columns that way; a snowflake becomes nested single joins. The columns of
// each table are read from the server once and kept.
class ClickHouseStore final : public Store {
 public:
  // Connects nothing yet: the first statement does. Throws ComError when the
  // settings name no server or a bad address.
  explicit ClickHouseStore(ClickHouseSettings settings);
  ClickHouseStore(const ClickHouseStore&) = delete;
  ClickHouseStore& operator=(const ClickHouseStore&) = delete;

  using Store::Query;
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline) const override;
  const std::vector<std::string>& dialects() const override;
  void CheckReachable() const override;

  std::string QuoteIdentifier(std::string_view name) const override { return QuoteClickHouseIdentifier(name); }
  std::string QuoteLiteral(std::string_view text) const override { return QuoteClickHouseLiteral(text); }
  std::string QuoteColumn(std::string_view alias, std::string_view column) const override;
  std::string SelectListKey(size_t position, const std::string& expression) const override;
  std::string FromClause(const std::vector<FromTable>& tables, const std::vector<FromLink>& links) const override;
  // Arranged so that the shards join and aggregate their own fact rows (see
  // ShardLocalSelectSql); a statement of another shape is joined on the first server.
  std::string GroupedSelectSql(const GroupedSelect& select) const override;

  size_t open_connections() const { return pool_.open(); }

 protected:
  std::string RealLiteral(std::string_view digits) const override;

 private:
  // The columns of a table, in their order; read once. Throws ComError when
  // the table does not exist.
  std::vector<std::string> Columns(const std::string& schema, const std::string& name) const;
  // The rows of a table as the server's metadata counts them, read once
  // for all tables; a guess that only orders joins.
  int64_t RowCount(const FromTable& table) const;
  // The number a statement of one value answers, read once per text; 0 when it fails.
  int64_t Count(const std::string& sql) const;
  std::string Qualified(const std::string& schema, const std::string& name) const;

  ClickHouseSettings settings_;
  mutable ConnectionPool<ClickHouseConnection> pool_;
  mutable std::mutex columns_mutex_;
  mutable std::map<std::pair<std::string, std::string>, std::vector<std::string>> columns_;  // guarded by columns_mutex_
  mutable std::mutex row_counts_mutex_;
  mutable bool row_counts_read_ = false;                                       // guarded by row_counts_mutex_
  mutable std::map<std::pair<std::string, std::string>, int64_t> row_counts_;  // guarded by row_counts_mutex_
  mutable std::mutex counts_mutex_;
  mutable std::map<std::string, int64_t> counts_;  // guarded by counts_mutex_
};

}  // namespace orvex::engine
