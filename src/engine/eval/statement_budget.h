#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/store/deadline.h"

namespace orvex::engine {

// The time and memory one statement may take. The evaluator reports every
// step (Tick) and asks before it builds a set or keeps values; past either
// limit the statement fails with a message that names the limit and the
// option that sets it. Memory is counted, not measured: an estimate of the
// tuples, values and buffers the statement holds. One statement, one thread.
class StatementBudget {
 public:
  // A zero `timeout` lets the statement run as long as it takes; a zero
  // `max_bytes` leaves its memory unbounded.
  StatementBudget(std::chrono::milliseconds timeout, int64_t max_bytes);
  StatementBudget(const StatementBudget&) = delete;
  StatementBudget& operator=(const StatementBudget&) = delete;

  // When the store's statements must end; kNoDeadline without a time limit.
  Deadline deadline() const { return deadline_; }
  // Counts one step of evaluation and, every so many, fails when the time is up.
  void Tick() {
    if (++ticks_ % kTicksPerClockRead == 0) CheckTime();
  }
  // Fails when the time is up.
  void CheckTime() const;
  bool TimeIsUp() const;
  // The error of a statement whose time is up.
  [[noreturn]] void FailTime() const;

  // Memory kept until the statement ends (values asked for, named sets, axes):
  // fails, charging nothing, when it would take the statement past its limit.
  void Charge(int64_t bytes, const char* what);
  // Memory held for a while on top of what is kept (a set being built, a sort
  // buffer): fails when both together pass the limit.
  void CheckTransient(int64_t bytes, const char* what) const;
  int64_t charged() const { return charged_; }

  // About what a set of `tuples` tuples of `width` members takes.
  static int64_t SetBytes(size_t tuples, size_t width);

 private:
  static constexpr uint32_t kTicksPerClockRead = 256;
  [[noreturn]] void FailMemory(int64_t bytes, const char* what) const;

  std::chrono::milliseconds timeout_;
  Deadline deadline_;
  int64_t max_bytes_;
  int64_t charged_ = 0;
  uint32_t ticks_ = 0;
};

}  // namespace orvex::engine
