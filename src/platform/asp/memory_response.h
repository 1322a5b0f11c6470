#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/asp/response.h"

namespace orvex::asp {

// A response that keeps everything in memory: the body as written and the
// added headers in order. For tests and for hosts that send the page whole.
class MemoryResponse : public Response {
 public:
  void Write(std::string_view text) override { body_.append(text); }
  void AddHeader(std::string_view name, std::string_view value) override {
    headers_.emplace_back(std::string(name), std::string(value));
  }

  const std::string& Body() const { return body_; }
  const std::vector<std::pair<std::string, std::string>>& Headers() const { return headers_; }

 private:
  std::string body_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

}  // namespace orvex::asp
