#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace orvex::engine {

// How to reach one PostgreSQL database and how to use it. Read from a
// catalog's store.conf (see StoreConfig); a plain value, copied freely.
struct PostgresSettings {
  // libpq connection keywords and their values ("host", "dbname", "user", ...),
  // in the order given. Keywords left out fall back to libpq's own defaults
  // (the PG* environment variables, ~/.pgpass).
  std::vector<std::pair<std::string, std::string>> parameters;
  // A statement running longer than this is cancelled with a clear error;
  // zero lets statements run as long as they take.
  std::chrono::milliseconds statement_timeout{std::chrono::seconds(30)};
  // Connections open at once; a query that finds all of them busy waits
  // for one (at most statement_timeout) rather than open another.
  size_t max_connections = 8;
};

}  // namespace orvex::engine
