#include "host/connection_threads.h"

#include <algorithm>
#include <chrono>

namespace orvex::host {
namespace {

// How long a thread beyond the minimum waits for a new connection before it ends.
constexpr auto kIdleLifetime = std::chrono::seconds(10);

}  // namespace

ConnectionThreads::ConnectionThreads(size_t min_threads, size_t max_threads)
    : min_threads_(min_threads), max_threads_(std::max(max_threads, std::max<size_t>(min_threads, 1))) {}

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Threads that ended are joined here, on the accepting thread, so that the
  // list does not grow with every burst of connections.
  for (std::thread::id ended : ended_) {
    auto found = std::find_if(threads_.begin(), threads_.end(), [&](const std::thread& t) { return t.get_id() == ended; });
    if (found != threads_.end()) {
      found->join();
      threads_.erase(found);
    }
  }
  ended_.clear();
  tasks_.push_back(std::move(task));
  if (idle_ >= tasks_.size() || alive_ >= max_threads_) {
    wake_.notify_one();
    return;
  }
  ++alive_;
  threads_.emplace_back([this] { Work(); });
}

void ConnectionThreads::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    bool woken = wake_.wait_for(lock, kIdleLifetime, [this] { return stopping_ || !tasks_.empty(); });
    --idle_;
    if (tasks_.empty() && (stopping_ || (!woken && alive_ > min_threads_))) break;
    if (tasks_.empty()) continue;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
  --alive_;
  ended_.push_back(std::this_thread::get_id());
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  // Connections already taken are served to their end, as the library's own pool does.
  for (std::thread& thread : threads) thread.join();
}

size_t ConnectionThreads::ThreadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return alive_;
}

}  // namespace orvex::host
