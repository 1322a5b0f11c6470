#pragma once
#include <chrono>

namespace orvex::engine {

// The moment by which a store statement must have finished; past it the
// statement is interrupted and fails. kNoDeadline lets it run to the end.
using Deadline = std::chrono::steady_clock::time_point;
inline constexpr Deadline kNoDeadline = Deadline::max();

}  // namespace orvex::engine
