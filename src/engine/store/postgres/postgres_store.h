#pragma once
#include <string>
#include <vector>

#include "engine/store/connection_pool.h"

#include "engine/store/postgres/postgres_connection.h"
#include "engine/store/postgres/postgres_settings.h"
#include "engine/store/store.h"

namespace orvex::engine {

// A catalog's tables on a PostgreSQL server, queried by many threads at
// once through a pool of at most max_connections connections, kept open
// between statements. A connection the server has closed (a restart, a
// terminated session) is dropped and replaced on the next statement, so the
// store recovers by itself once the server is back. A statement that fails
// mid-way because the server went away throws; it is not run again.
class PostgresStore final : public Store {
 public:
  // Connects nothing yet: the first statement does.
  explicit PostgresStore(PostgresSettings settings);
  PostgresStore(const PostgresStore&) = delete;
  PostgresStore& operator=(const PostgresStore&) = delete;

  using Store::Query;
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline) const override;
  const std::vector<std::string>& dialects() const override;
  // Holds, or opens, one connection the server has not closed; throws
  // ComError with the server's reason when it is down or refuses the login.
  void CheckReachable() const override;

  // Connections open now, idle or in use (for tests and diagnostics).
  size_t open_connections() const;

 private:
  PostgresSettings settings_;
  mutable ConnectionPool<PostgresConnection> pool_;
};

}  // namespace orvex::engine
