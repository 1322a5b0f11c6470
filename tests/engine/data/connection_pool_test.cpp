#include "engine/store/connection_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/com/com_error.h"

namespace orvex::engine {
namespace {

// A connection that knows its number and whether its server still holds it.
struct FakeConnection {
  int number = 0;
  std::shared_ptr<bool> open;
};

// A pool over fake connections numbered in the order they are opened; `fail_next` makes the next open throw.
struct FakeStore {
  explicit FakeStore(ConnectionPool<FakeConnection>::Limits limits)
      : pool([this] { return Open(); }, [](FakeConnection& connection) { return *connection.open; }, limits,
             "all busy") {}
  FakeConnection Open() {
    if (fail_next.exchange(false)) throw EngineError("server down");
    auto connection = FakeConnection{++opened, std::make_shared<bool>(true)};
    return connection;
  }
  std::atomic<int> opened{0};
  std::atomic<bool> fail_next{false};
  ConnectionPool<FakeConnection> pool;
};

TEST(ConnectionPoolTest, ReusesReturnedConnectionsAndReplacesThoseTheServerClosed) {
  FakeStore store({});
  std::shared_ptr<bool> first_open;
  {
    auto first = store.pool.Borrow();
    EXPECT_EQ(first->number, 1);
    first_open = first->open;
  }
  EXPECT_EQ(store.pool.Borrow()->number, 1);  // given back and lent again
  *first_open = false;                         // closed while idle: dropped when taken
  {
    auto second = store.pool.Borrow();
    EXPECT_EQ(second->number, 2);
    EXPECT_EQ(store.pool.open(), 1u);
    *second->open = false;  // closed while lent: dropped when given back
  }
  EXPECT_EQ(store.pool.open(), 0u);
  {
    auto third = store.pool.Borrow();
    third.Discard();
  }
  EXPECT_EQ(store.pool.open(), 0u);
  EXPECT_EQ(store.pool.Borrow()->number, 4);
}

TEST(ConnectionPoolTest, BoundsOpenAndIdleConnectionsAndPassesOpeningFailuresOn) {
  FakeStore store({.max_open = 2, .max_idle = 1, .wait = std::chrono::milliseconds(0)});
  {
    auto one = store.pool.Borrow();
    auto two = store.pool.Borrow();
    try {
      (void)store.pool.Borrow();
      ADD_FAILURE() << "a third connection was lent";
    } catch (const ComError& error) {
      EXPECT_EQ(error.description(), "all busy");
    }
  }
  EXPECT_EQ(store.pool.open(), 1u);  // one kept idle, the other closed
  store.fail_next = true;
  auto held = store.pool.Borrow();  // the idle one: nothing opened
  EXPECT_THROW((void)store.pool.Borrow(), ComError);
  EXPECT_EQ(store.pool.open(), 1u);  // the failed opening does not count
  EXPECT_EQ(store.pool.Borrow()->number, 3);
}

TEST(ConnectionPoolTest, ManyThreadsNeverHoldMoreThanTheLimit) {
  FakeStore store({.max_open = 3});
  std::atomic<int> lent{0};
  std::atomic<int> most{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 8; ++thread) {
    threads.emplace_back([&] {
      for (int round = 0; round < 200; ++round) {
        auto connection = store.pool.Borrow();
        int now = ++lent;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        --lent;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_LE(most.load(), 3);
  EXPECT_LE(store.opened.load(), 3);
  EXPECT_LE(store.pool.open(), 3u);
}

}  // namespace
}  // namespace orvex::engine
