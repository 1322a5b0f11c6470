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

// Connections are not limited (a query never waits for one); a few idle ones are kept.
DuckDbStore::DuckDbStore(DuckDbDatabase database)
    : database_(std::move(database)),
      pool_([this] { return database_.Connect(); }, [](DuckDbConnection&) { return true; },
            {.max_idle = kIdleConnections}, "") {}

RowSet DuckDbStore::Query(std::string_view sql, Deadline deadline) const {
  return TraceQuery(sql, [&] {
    auto connection = pool_.Borrow();
    // A failed or interrupted statement leaves the connection usable; it goes
    // back to the pool only after a success, which costs nothing to be safe.
    try {
      return connection->Query(sql, deadline);
    } catch (...) {
      connection.Discard();
      throw;
    }
  });
}

const std::vector<std::string>& DuckDbStore::dialects() const {
  static const std::vector<std::string> kDialects = {"duckdb", "generic"};
  return kDialects;
}

}  // namespace orvex::engine
