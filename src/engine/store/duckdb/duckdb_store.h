#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "engine/store/connection_pool.h"

#include "engine/store/duckdb/duckdb_connection.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/store.h"

namespace orvex::engine {

// A catalog's data.duckdb, opened read-only and queried by many threads at
// once: each query borrows an idle connection from a small pool (or opens a
// new one) and returns it afterwards.
class DuckDbStore final : public Store {
 public:
  // Throws ComError when the file is missing or is not a DuckDB database.
  static std::unique_ptr<DuckDbStore> Open(const std::filesystem::path& path,
                                           const DuckDbDatabase::Options& options = DefaultOptions());
  // What the server uses: DuckDB's memory held to a share that leaves room for
  // members and caches.
  static DuckDbDatabase::Options DefaultOptions();

  DuckDbStore(const DuckDbStore&) = delete;
  DuckDbStore& operator=(const DuckDbStore&) = delete;

  using Store::Query;
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline) const override;
  const std::vector<std::string>& dialects() const override;

 private:
  explicit DuckDbStore(DuckDbDatabase database);
  DuckDbDatabase database_;
  mutable ConnectionPool<DuckDbConnection> pool_;
};

}  // namespace orvex::engine
