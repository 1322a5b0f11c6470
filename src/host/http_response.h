#pragma once
#include <httplib.h>

#include "platform/asp/response.h"

namespace orvex::host {

// The Response object of one HTTP request: the body and added headers go
// straight into the HTTP response; Finish() adds what the properties say.
class HttpResponse : public asp::Response {
 public:
  explicit HttpResponse(httplib::Response& response) : response_(response) {}

  void Write(std::string_view text) override { response_.body.append(text); }
  void AddHeader(std::string_view name, std::string_view value) override;

  // Sets Content-Type (text types in UTF-8), Expires and Cache-Control from
  // the properties. Call once, after the page is written.
  void Finish();

 private:
  httplib::Response& response_;
};

// `content_type` as sent: a text type without a charset gets "; charset=utf-8".
std::string WithCharset(const std::string& content_type);

// An HTTP date: "Tue, 08 Dec 2026 04:36:59 GMT".
std::string HttpDate(std::chrono::system_clock::time_point moment);

}  // namespace orvex::host
