#include "engine/store/postgres/postgres_store.h"

#include <algorithm>
#include <chrono>

#include "engine/common/engine_error.h"

namespace orvex::engine {

namespace {

ConnectionPool<PostgresConnection>::Limits LimitsOf(const PostgresSettings& settings) {
  ConnectionPool<PostgresConnection>::Limits limits;
  limits.max_open = std::max<size_t>(1, settings.max_connections);
  // A statement waits for a connection as long as it may run.
  if (settings.statement_timeout.count() > 0) limits.wait = settings.statement_timeout;
  return limits;
}

}  // namespace

PostgresStore::PostgresStore(PostgresSettings settings)
    : settings_(std::move(settings)),
      pool_([this] { return PostgresConnection::Open(settings_); },
            [](PostgresConnection& connection) { return connection.IsOpen(); }, LimitsOf(settings_),
            "All " + std::to_string(std::max<size_t>(1, settings_.max_connections)) +
                " connections to the PostgreSQL server stayed busy; the statement was not run.") {
  if (settings_.max_connections == 0) settings_.max_connections = 1;
}

RowSet PostgresStore::Query(std::string_view sql, Deadline deadline) const {
  // The connection goes back whatever happens; one the server closed is dropped there.
  return TraceQuery(sql, [&] { return pool_.Borrow()->Query(sql, deadline); });
}

const std::vector<std::string>& PostgresStore::dialects() const {
  static const std::vector<std::string> kDialects = {"postgres", "postgresql", "generic"};
  return kDialects;
}

void PostgresStore::CheckReachable() const { (void)pool_.Borrow(); }

size_t PostgresStore::open_connections() const { return pool_.open(); }

}  // namespace orvex::engine
