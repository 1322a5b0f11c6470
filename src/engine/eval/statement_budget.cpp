#include "engine/eval/statement_budget.h"

#include <cstdio>

#include "engine/eval/value.h"
#include "engine/model/engine_error.h"

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
  if (max_bytes_ > 0 && charged_ + bytes > max_bytes_) FailMemory(bytes, what);
  charged_ += bytes;
}

void StatementBudget::CheckTransient(int64_t bytes, const char* what) const {
  if (max_bytes_ > 0 && charged_ + bytes > max_bytes_) FailMemory(bytes, what);
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
  return static_cast<int64_t>(tuples) * (kPerTuple + static_cast<int64_t>(width * sizeof(const Member*)));
}

}  // namespace orvex::engine
