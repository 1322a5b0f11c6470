#pragma once
#include <chrono>
#include <cstdint>

namespace orvex::engine {

// Limits and sizes of the MDX layer, set once when the engine is registered.
struct EngineOptions {
  // A statement whose axes would make more cells than this (or whose sets grow
  // beyond it) fails with a clear error instead of exhausting memory.
  int64_t max_cells = 1'000'000;
  // A statement still running after this long is stopped, its store
  // statements interrupted; zero lets statements run as long as they take.
  std::chrono::milliseconds query_timeout{std::chrono::seconds(60)};
  // What one statement's tuples, values and buffers may take, as the
  // evaluator counts them; zero leaves it unbounded.
  int64_t max_statement_memory = int64_t{512} * 1024 * 1024;
  // Whether a statement sent again, as text, to the same catalog under the
  // same limits is answered from the results kept of earlier runs.
  bool cache_results = true;
};

}  // namespace orvex::engine
