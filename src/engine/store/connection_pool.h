#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/common/engine_error.h"

namespace orvex::engine {

// Connections to one store, each lent to one thread at a time and kept open
// for the next statement. At most `max_open` are open at once: a borrower
// waits for one to come back, up to `wait`, then fails with `busy_message`.
// At most `max_idle` are kept when returned; the rest are closed. A
// connection found unusable when taken or returned (the server closed it) is
// dropped, and a new one opened in its place. Thread-safe; it must outlive
// its leases.
template <class Connection>
class ConnectionPool {
 public:
  struct Limits {
    size_t max_open = std::numeric_limits<size_t>::max();
    size_t max_idle = std::numeric_limits<size_t>::max();
    std::chrono::milliseconds wait = std::chrono::hours(24);
  };

  // `open` makes a new connection; what it throws reaches the borrower.
  // `usable` says whether a connection may still serve.
  ConnectionPool(std::function<Connection()> open, std::function<bool(Connection&)> usable, Limits limits,
                 std::string busy_message)
      : open_connection_(std::move(open)), usable_(std::move(usable)), limits_(limits),
        busy_message_(std::move(busy_message)) {
    if (limits_.max_open == 0) limits_.max_open = 1;
  }
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // A borrowed connection: going out of scope gives it back, unless Discard
  // closed it first (after a failure that may have left it in doubt).
  class Lease {
   public:
    Lease(Lease&& other) noexcept
        : pool_(std::exchange(other.pool_, nullptr)), connection_(std::move(other.connection_)) {}
    Lease& operator=(Lease&&) = delete;
    Lease(const Lease&) = delete;
    ~Lease() {
      if (pool_) pool_->GiveBack(std::move(*connection_));
    }

    Connection& operator*() { return *connection_; }
    Connection* operator->() { return &*connection_; }
    void Discard() {
      if (!pool_) return;
      connection_.reset();
      std::exchange(pool_, nullptr)->Closed();
    }

   private:
    friend class ConnectionPool;
    Lease(ConnectionPool* pool, Connection connection) : pool_(pool), connection_(std::move(connection)) {}
    ConnectionPool* pool_;
    std::optional<Connection> connection_;
  };

  // An idle connection that is still usable, else a new one; waits while
  // `max_open` are lent out. Throws ComError when none came back in time, or
  // what opening one threw.
  Lease Borrow() {
    auto deadline = std::chrono::steady_clock::now() + limits_.wait;
    std::unique_lock lock(mutex_);
    while (true) {
      while (!idle_.empty()) {
        Connection connection = std::move(idle_.back());
        idle_.pop_back();
        lock.unlock();
        if (usable_(connection)) return Lease(this, std::move(connection));
        lock.lock();
        --open_;  // closed by the server while idle: dropped, and replaced below
      }
      if (open_ < limits_.max_open) {
        ++open_;
        lock.unlock();
        try {
          return Lease(this, open_connection_());
        } catch (...) {
          Closed();
          throw;
        }
      }
      if (returned_.wait_until(lock, deadline) == std::cv_status::timeout && idle_.empty() &&
          open_ >= limits_.max_open) {
        throw EngineError(busy_message_);
      }
    }
  }

  // Connections open now, idle or lent out.
  size_t open() const {
    std::lock_guard lock(mutex_);
    return open_;
  }

 private:
  void GiveBack(Connection connection) {
    bool keep = usable_(connection);
    std::unique_lock lock(mutex_);
    if (keep && idle_.size() < limits_.max_idle) {
      idle_.push_back(std::move(connection));
    } else {
      --open_;
      lock.unlock();  // closing may talk to the server: not under the lock
      { Connection closing = std::move(connection); }
      lock.lock();
    }
    returned_.notify_one();
  }

  void Closed() {
    std::lock_guard lock(mutex_);
    --open_;
    returned_.notify_one();
  }

  std::function<Connection()> open_connection_;
  std::function<bool(Connection&)> usable_;
  Limits limits_;
  std::string busy_message_;
  mutable std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<Connection> idle_;  // guarded by mutex_
  size_t open_ = 0;               // guarded by mutex_: idle ones and those lent out
};

}  // namespace orvex::engine
