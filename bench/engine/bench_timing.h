#pragma once
// Timing helpers the engine benchmarks share.
#include <algorithm>
#include <chrono>
#include <vector>

namespace orvex::bench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace orvex::bench
