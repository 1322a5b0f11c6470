#include "platform/asp/response.h"

#include <algorithm>

namespace orvex::asp {

std::optional<Response::TimePoint> Response::ExpiryTime(TimePoint now) const {
  std::optional<TimePoint> expiry = expires_absolute_;
  if (expires_) {
    TimePoint relative = now + std::chrono::minutes(*expires_);
    expiry = expiry ? std::min(*expiry, relative) : relative;
  }
  return expiry;
}

}  // namespace orvex::asp
