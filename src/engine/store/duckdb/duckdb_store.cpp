#include "engine/store/duckdb/duckdb_store.h"

#include <cstdlib>

namespace orvex::engine {
namespace {

// Connections kept open between queries; more are opened under load and closed afterwards.
constexpr size_t kIdleConnections = 8;

}  // namespace

std::unique_ptr<DuckDbStore> DuckDbStore::Open(const std::filesystem::path& path,
                                               const DuckDbDatabase::Options& options) {
  return std::unique_ptr<DuckDbStore>(
      new DuckDbStore(DuckDbDatabase::Open(path, DuckDbDatabase::Mode::kReadOnly, options)));
}

DuckDbDatabase::Options DuckDbStore::DefaultOptions() {
  DuckDbDatabase::Options options;
  if (const char* limit = std::getenv("ORVEX_DUCKDB_MEMORY_LIMIT")) {
    options.memory_limit = limit;
  } else {
    options.memory_limit = "512MB";
  }
  return options;
}

DuckDbStore::DuckDbStore(DuckDbDatabase database) : database_(std::move(database)) {}

RowSet DuckDbStore::Query(std::string_view sql, Deadline deadline) const {
  return TraceQuery(sql, [&] {
    DuckDbConnection connection = Borrow();
    // A failed or interrupted statement leaves the connection usable; it goes
    // back to the pool only after a success, which costs nothing to be safe.
    RowSet rows = connection.Query(sql, deadline);
    GiveBack(std::move(connection));
    return rows;
  });
}

const std::vector<std::string>& DuckDbStore::dialects() const {
  static const std::vector<std::string> kDialects = {"duckdb", "generic"};
  return kDialects;
}

DuckDbConnection DuckDbStore::Borrow() const {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      DuckDbConnection connection = std::move(idle_.back());
      idle_.pop_back();
      return connection;
    }
  }
  return database_.Connect();
}

void DuckDbStore::GiveBack(DuckDbConnection connection) const {
  std::lock_guard lock(mutex_);
  if (idle_.size() < kIdleConnections) idle_.push_back(std::move(connection));
}

}  // namespace orvex::engine
