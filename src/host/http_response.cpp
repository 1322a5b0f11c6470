#include "host/http_response.h"

#include <ctime>

#include "platform/text.h"

namespace orvex::host {

void HttpResponse::AddHeader(std::string_view name, std::string_view value) {
  // Line breaks in a header would let a value add headers of its own.
  auto clean = [](std::string_view text) {
    std::string result(text);
    for (char& c : result) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    return result;
  };
  response_.headers.emplace(clean(name), clean(value));
}

void HttpResponse::Finish() {
  response_.set_header("Content-Type", WithCharset(ContentType()));
  auto now = std::chrono::system_clock::now();
  if (auto expiry = ExpiryTime(now)) response_.set_header("Expires", HttpDate(*expiry));
  if (!CacheControl().empty()) response_.set_header("Cache-Control", CacheControl());
}

std::string WithCharset(const std::string& content_type) {
  std::string lower = ToLower(content_type);
  if (lower.rfind("text/", 0) == 0 && lower.find("charset") == std::string::npos) {
    return content_type + "; charset=utf-8";
  }
  return content_type;
}

std::string HttpDate(std::chrono::system_clock::time_point moment) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char buffer[64];
  std::strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S GMT", &utc);
  return buffer;
}

}  // namespace orvex::host
