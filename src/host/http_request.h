#pragma once
#include <httplib.h>

#include "platform/asp/request.h"

namespace orvex::host {

// The Request object of one HTTP request, read once when it is made: the raw
// query string of the request target, the body as form fields when it is
// form-encoded, the cookies, and the server variables a classic host sets
// ("URL" the path, "SERVER_NAME" the host name without port, "HTTP_*" for
// every header, ...). Malformed encoding is taken as text.
class HttpRequest : public asp::Request {
 public:
  explicit HttpRequest(const httplib::Request& request);

  const asp::RequestCollection& QueryString() const override { return query_string_; }
  const asp::RequestCollection& Form() const override { return form_; }
  const asp::RequestCollection& Cookies() const override { return cookies_; }
  const asp::RequestCollection& ServerVariables() const override { return server_variables_; }

 private:
  asp::RequestCollection query_string_;
  asp::RequestCollection form_;
  asp::RequestCollection cookies_;
  asp::RequestCollection server_variables_;
};

// The host name of a Host header value, without port: "example.org:8080"
// gives "example.org", "[::1]:8080" gives "[::1]".
std::string HostNameOf(std::string_view host_header);

}  // namespace orvex::host
