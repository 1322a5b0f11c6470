#pragma once
#include <string>
#include <string_view>

#include "platform/asp/request.h"

namespace orvex::asp {

// A request put together in memory, for tests and tools: the query string and
// form are given as raw form-encoded text, cookies and server variables one by one.
// Setting the query string also sets the server variable "QUERY_STRING".
class MemoryRequest : public Request {
 public:
  MemoryRequest() = default;
  // A GET of `url` ("/page?id=4"): sets the query string and the server
  // variables "URL" (the path alone), "QUERY_STRING" and "REQUEST_METHOD".
  static MemoryRequest Get(std::string_view url);

  void SetQueryString(std::string_view text);
  void SetForm(std::string_view text);
  void AddCookie(std::string_view name, std::string value) { cookies_.Add(name, std::move(value)); }
  void SetServerVariable(std::string_view name, std::string value);

  const RequestCollection& QueryString() const override { return query_string_; }
  const RequestCollection& Form() const override { return form_; }
  const RequestCollection& Cookies() const override { return cookies_; }
  const RequestCollection& ServerVariables() const override { return server_variables_; }

 private:
  RequestCollection query_string_;
  RequestCollection form_;
  RequestCollection cookies_;
  RequestCollection server_variables_;
};

}  // namespace orvex::asp
