#include "engine/store/postgres/postgres_store.h"

#include <chrono>

#include "engine/common/engine_error.h"

namespace orvex::engine {

PostgresStore::PostgresStore(PostgresSettings settings) : settings_(std::move(settings)) {
  if (settings_.max_connections == 0) settings_.max_connections = 1;
}

RowSet PostgresStore::Query(std::string_view sql, Deadline deadline) const {
  return TraceQuery(sql, [&] {
    PostgresConnection connection = Borrow();
    try {
      RowSet rows = connection.Query(sql, deadline);
      GiveBack(std::move(connection));
      return rows;
    } catch (...) {
      GiveBack(std::move(connection));
      throw;
    }
  });
}

const std::vector<std::string>& PostgresStore::dialects() const {
  static const std::vector<std::string> kDialects = {"postgres", "postgresql", "generic"};
  return kDialects;
}

void PostgresStore::CheckReachable() const { GiveBack(Borrow()); }

size_t PostgresStore::open_connections() const {
  std::lock_guard lock(mutex_);
  return open_;
}

PostgresConnection PostgresStore::Borrow() const {
  auto timeout = settings_.statement_timeout.count() > 0 ? settings_.statement_timeout
                                                         : std::chrono::milliseconds(std::chrono::hours(24));
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  while (true) {
    while (!idle_.empty()) {
      PostgresConnection connection = std::move(idle_.back());
      idle_.pop_back();
      lock.unlock();
      if (connection.IsOpen()) return connection;
      lock.lock();
      --open_;  // closed by the server while idle: dropped, and replaced below
    }
    if (open_ < settings_.max_connections) {
      ++open_;
      lock.unlock();
      try {
        return PostgresConnection::Open(settings_);
      } catch (...) {
        lock.lock();
        --open_;
        returned_.notify_one();
        throw;
      }
    }
    if (returned_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() &&
        open_ >= settings_.max_connections) {
      throw EngineError("All " + std::to_string(settings_.max_connections) +
                        " connections to the PostgreSQL server stayed busy; the statement was not run.");
    }
  }
}

void PostgresStore::GiveBack(PostgresConnection connection) const {
  bool open = connection.IsOpen();
  std::lock_guard lock(mutex_);
  if (open) {
    idle_.push_back(std::move(connection));
  } else {
    --open_;  // a lost connection is closed here; the next statement opens a new one
  }
  returned_.notify_one();
}

}  // namespace orvex::engine
