#include "host/request_guard.h"

#include "platform/text.h"

namespace orvex::host {

bool IsStateChangingAction(const asp::Request& request) {
  // Read as the pages read them: the page number from the query string, the
  // action from the combined collection, so that a guard and a page never
  // disagree on what a request asks for.
  if (request.QueryString().Item("ID").ToString() != "3") return false;
  const std::string action = ToLower(request.Item("actionID").ToString());
  return action == "add_folder" || action == "save_view" || action == "delete_folder" || action == "delete_view";
}

bool IsCrossSite(const httplib::Request& request) {
  if (request.has_header("Sec-Fetch-Site")) {
    std::string site = ToLower(Trim(request.get_header_value("Sec-Fetch-Site")));
    return site != "same-origin" && site != "none";
  }
  if (!request.has_header("Origin")) return false;
  // "scheme://host[:port]" must carry the Host header's authority; "null"
  // (a sandboxed or file page) never does.
  std::string origin = ToLower(Trim(request.get_header_value("Origin")));
  size_t scheme_end = origin.find("://");
  if (scheme_end == std::string::npos) return true;
  std::string authority = origin.substr(scheme_end + 3);
  if (!authority.empty() && authority.back() == '/') authority.pop_back();
  std::string host = ToLower(Trim(request.get_header_value("Host")));
  if (host.empty()) return true;
  // A default port may be left out of one and given in the other.
  auto without_default_port = [&](std::string text) {
    std::string scheme = origin.substr(0, scheme_end);
    std::string port = scheme == "https" ? ":443" : ":80";
    if (text.size() > port.size() && text.ends_with(port)) text.resize(text.size() - port.size());
    return text;
  };
  return without_default_port(authority) != without_default_port(host);
}

}  // namespace orvex::host
