#include "engine/eval/statement_budget.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "engine/eval/value.h"
#include "engine/common/engine_error.h"

namespace orvex::engine {

namespace {

std::string Bytes(int64_t bytes) {
  char text[64];
  if (bytes >= 10 * 1024 * 1024) {
    std::snprintf(text, sizeof text, "%lld MB", static_cast<long long>(bytes / (1024 * 1024)));
  } else {
    std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
  }
  return text;
}

std::string Seconds(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

}  // namespace

StatementBudget::StatementBudget(std::chrono::milliseconds timeout, int64_t max_bytes)
    : timeout_(timeout),
      deadline_(timeout.count() > 0 ? std::chrono::steady_clock::now() + timeout : kNoDeadline),
      max_bytes_(max_bytes) {}

bool StatementBudget::TimeIsUp() const {
  return deadline_ != kNoDeadline && std::chrono::steady_clock::now() >= deadline_;
}

void StatementBudget::CheckTime() const {
  if (TimeIsUp()) FailTime();
}

void StatementBudget::FailTime() const {
  throw EngineError("The statement ran longer than " + Seconds(timeout_) +
                    " s, the time limit set by --query-timeout; it was stopped. Ask for less, or raise the limit.");
}

void StatementBudget::Charge(int64_t bytes, const char* what) {
  if (max_bytes_ > 0 && bytes > max_bytes_ - charged_) FailMemory(bytes, what);
  charged_ = bytes > std::numeric_limits<int64_t>::max() - charged_ ? std::numeric_limits<int64_t>::max()
                                                                   : charged_ + bytes;
}

void StatementBudget::CheckTransient(int64_t bytes, const char* what) const {
  if (max_bytes_ > 0 && bytes > max_bytes_ - charged_) FailMemory(bytes, what);
}

void StatementBudget::FailMemory(int64_t bytes, const char* what) const {
  throw EngineError("The statement needs more than " + Bytes(max_bytes_) +
                    " of memory, the limit set by --max-statement-memory (it held " + Bytes(charged_) +
                    " and needed " + Bytes(bytes) + " more for " + what +
                    "); ask for fewer positions, or raise the limit.");
}

int64_t StatementBudget::SetBytes(size_t tuples, size_t width) {
  // A tuple is a vector: its header, its members and the allocator's overhead.
  constexpr int64_t kPerTuple = static_cast<int64_t>(sizeof(Tuple)) + 16;
  // Saturates: a count past any budget must not wrap round to a small one.
  int64_t bytes = 0;
  int64_t per_tuple = kPerTuple + static_cast<int64_t>(std::min<size_t>(width, 1u << 20) * sizeof(const Member*));
  if (tuples > static_cast<size_t>(std::numeric_limits<int64_t>::max()) ||
      __builtin_mul_overflow(static_cast<int64_t>(tuples), per_tuple, &bytes)) {
    return std::numeric_limits<int64_t>::max();
  }
  return bytes;
}

}  // namespace orvex::engine
