#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/variant.h"

namespace orvex::asp {

// The hosting page's Response object. Where the output goes is the concern of
// the implementation (Write, AddHeader); the properties are plain values here,
// read by the implementation when the response is sent. One request, one thread.
class Response : public ComObject {
 public:
  using TimePoint = std::chrono::system_clock::time_point;

  std::string TypeName() const override { return "IResponse"; }

  // Appends text to the body as it is: no line feed, no encoding.
  virtual void Write(std::string_view text) = 0;
  // Adds a header line; a name given twice gives two lines.
  virtual void AddHeader(std::string_view name, std::string_view value) = 0;

  // The media type of the body, "text/html" until a page sets another.
  const std::string& ContentType() const { return content_type_; }
  void SetContentType(std::string content_type) { content_type_ = std::move(content_type); }
  // Minutes from now after which a cache must drop the page (0: at once); unset until a page sets it.
  std::optional<int32_t> Expires() const { return expires_; }
  void SetExpires(int32_t minutes) { expires_ = minutes; }
  // The moment after which a cache must drop the page; unset until a page sets it.
  std::optional<TimePoint> ExpiresAbsolute() const { return expires_absolute_; }
  void SetExpiresAbsolute(TimePoint moment) { expires_absolute_ = moment; }
  // The Cache-Control value, "private" until a page sets another.
  const std::string& CacheControl() const { return cache_control_; }
  void SetCacheControl(std::string value) { cache_control_ = std::move(value); }

  // When the page expires, from whichever of Expires and ExpiresAbsolute is
  // earlier, measured from `now`; unset when the page set neither.
  std::optional<TimePoint> ExpiryTime(TimePoint now) const;

 private:
  std::string content_type_ = "text/html";
  std::optional<int32_t> expires_;
  std::optional<TimePoint> expires_absolute_;
  std::string cache_control_ = "private";
};

}  // namespace orvex::asp
