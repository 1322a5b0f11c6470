#pragma once
#include <cstdint>

namespace orvex::engine {

// Limits and sizes of the MDX layer, set once when the engine is registered.
struct EngineOptions {
  // A statement whose axes would make more cells than this (or whose sets grow
  // beyond it) fails with a clear error instead of exhausting memory.
  int64_t max_cells = 1'000'000;
};

}  // namespace orvex::engine
