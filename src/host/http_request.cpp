#include "host/http_request.h"

#include "platform/text.h"

namespace orvex::host {
namespace {

std::string HeaderVariableName(std::string_view header) {
  std::string name = "HTTP_" + ToUpper(header);
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

// "a=1; b=two" into cookies; values are decoded as a classic host does.
void ParseCookies(std::string_view header, asp::RequestCollection& into) {
  for (const std::string& pair : Split(header, ";")) {
    std::string trimmed = Trim(pair);
    if (trimmed.empty()) continue;
    size_t equals = trimmed.find('=');
    std::string name = trimmed.substr(0, equals);
    std::string value = equals == std::string::npos ? "" : trimmed.substr(equals + 1);
    into.Add(asp::UrlDecode(name), asp::UrlDecode(value));
  }
}

bool IsFormEncoded(const httplib::Request& request) {
  std::string type = ToLower(request.get_header_value("Content-Type"));
  return type.rfind("application/x-www-form-urlencoded", 0) == 0;
}

}  // namespace

std::string HostNameOf(std::string_view host_header) {
  if (!host_header.empty() && host_header.front() == '[') {
    size_t close = host_header.find(']');
    return std::string(host_header.substr(0, close == std::string_view::npos ? host_header.size() : close + 1));
  }
  return std::string(host_header.substr(0, host_header.find(':')));
}

HttpRequest::HttpRequest(const httplib::Request& request) {
  size_t question = request.target.find('?');
  std::string query = question == std::string::npos ? "" : request.target.substr(question + 1);
  query_string_ = asp::RequestCollection::FromUrlEncoded(query);
  if (IsFormEncoded(request)) form_ = asp::RequestCollection::FromUrlEncoded(request.body);
  // A multipart form's fields, by name; file parts count as fields with their content.
  for (const auto& [name, part] : request.files) form_.Add(name, part.content);
  for (size_t index = 0; index < request.get_header_value_count("Cookie"); ++index) {
    ParseCookies(request.get_header_value("Cookie", index), cookies_);
  }

  std::string host = request.get_header_value("Host");
  auto& variables = server_variables_;
  variables.Set("URL", request.path);
  variables.Set("PATH_INFO", request.path);
  variables.Set("SCRIPT_NAME", request.path);
  variables.Set("QUERY_STRING", query);
  variables.Set("REQUEST_METHOD", request.method);
  variables.Set("SERVER_NAME", host.empty() ? request.local_addr : HostNameOf(host));
  variables.Set("SERVER_PORT", std::to_string(request.local_port));
  variables.Set("SERVER_PROTOCOL", request.version);
  variables.Set("SERVER_SOFTWARE", "orvex-server");
  variables.Set("HTTPS", "off");
  variables.Set("REMOTE_ADDR", request.remote_addr);
  variables.Set("REMOTE_HOST", request.remote_addr);
  variables.Set("REMOTE_PORT", std::to_string(request.remote_port));
  variables.Set("CONTENT_TYPE", request.get_header_value("Content-Type"));
  variables.Set("CONTENT_LENGTH", std::to_string(request.body.size()));
  for (const auto& [name, value] : request.headers) {
    // A header given twice keeps both values, joined as the collection joins them.
    variables.Add(HeaderVariableName(name), value);
  }
}

}  // namespace orvex::host
