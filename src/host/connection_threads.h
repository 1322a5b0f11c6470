#pragma once
#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvex::host {

// The connection model of orvex-server: every connection gets a thread of
// its own for its whole life (the HTTP library reads a connection's requests
// on the thread that took it, waiting for the next one while it is kept
// alive), up to `max_threads` at once; further connections wait for a thread
// in arrival order. Threads beyond `min_threads` end after a few idle seconds.
//
// Why not a fixed pool of --threads: an idle keep-alive socket or a client
// that sends its request a byte at a time holds its thread until a read
// timeout, so a few dozen of them would leave no thread for anyone else. A
// thread per connection makes such clients cost only a sleeping thread each,
// while the work that needs the CPU (a page) is bounded separately by the
// server to --threads at once. Thread safe; Shutdown() joins every thread.
class ConnectionThreads : public httplib::TaskQueue {
 public:
  ConnectionThreads(size_t min_threads, size_t max_threads);
  ~ConnectionThreads() override;
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;

  void enqueue(std::function<void()> task) override;
  void shutdown() override;

  // Threads alive now (for tests and logs).
  size_t ThreadCount() const;

 private:
  void Work();

  const size_t min_threads_;
  const size_t max_threads_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;  // guarded by mutex_
  std::vector<std::thread> threads_;         // guarded by mutex_; ended ones are joined lazily
  std::vector<std::thread::id> ended_;       // guarded by mutex_: threads that returned from Work()
  size_t alive_ = 0;                         // guarded by mutex_
  size_t idle_ = 0;                          // guarded by mutex_
  bool stopping_ = false;                    // guarded by mutex_
};

}  // namespace orvex::host
