#include <gtest/gtest.h>

#include <chrono>

#include "html/general.h"
#include "host/http_request.h"
#include "host/http_response.h"
#include "host/orvex_server.h"

namespace orvex::host {
namespace {

httplib::Request MakeRequest(const std::string& method, const std::string& target) {
  httplib::Request request;
  request.method = method;
  request.target = target;
  request.path = httplib::detail::decode_url(target.substr(0, target.find('?')), false);
  request.version = "HTTP/1.1";
  request.local_addr = "127.0.0.1";
  request.local_port = 8080;
  request.remote_addr = "127.0.0.1";
  request.remote_port = 40000;
  return request;
}

TEST(HttpRequestTest, ReadsTheCollectionsAsAClassicHostDoes) {
  httplib::Request raw = MakeRequest("POST", "/explorer?id=1&cube=Sales+2024&bad=%zz&id=2");
  raw.set_header("Host", "olap.example.org:8080");
  raw.set_header("Content-Type", "application/x-www-form-urlencoded; charset=UTF-8");
  raw.set_header("Cookie", "view=My%20View; folder=Team");
  raw.set_header("User-Agent", "Test/1.0");
  raw.body = "xml=%3CcubeView%2F%3E&measure=Units";
  HttpRequest request(raw);
  EXPECT_EQ(request.QueryString().Text(), "id=1&cube=Sales+2024&bad=%zz&id=2");
  EXPECT_EQ(request.QueryString().Item("ID").ToString(), "1, 2");
  EXPECT_EQ(request.QueryString().Item("cube").ToString(), "Sales 2024");
  EXPECT_EQ(request.QueryString().Item("bad").ToString(), "%zz");
  EXPECT_EQ(request.Form().Item("xml").ToString(), "<cubeView/>");
  EXPECT_EQ(request.Item("view").ToString(), "My View");
  EXPECT_EQ(request.Item("folder").ToString(), "Team");
  const std::pair<std::string, std::string> variables[] = {
      {"URL", "/explorer"},
      {"SERVER_NAME", "olap.example.org"},
      {"SERVER_PORT", "8080"},
      {"REQUEST_METHOD", "POST"},
      {"QUERY_STRING", "id=1&cube=Sales+2024&bad=%zz&id=2"},
      {"HTTP_USER_AGENT", "Test/1.0"},
      {"HTTP_HOST", "olap.example.org:8080"},
      {"CONTENT_LENGTH", "35"},
  };
  for (const auto& [name, value] : variables) {
    SCOPED_TRACE(name);
    EXPECT_EQ(request.ServerVariables().Item(name).ToString(), value);
  }
}

TEST(HttpRequestTest, TakesFormFieldsOnlyFromFormEncodedBodies) {
  httplib::Request raw = MakeRequest("POST", "/explorer");
  raw.set_header("Content-Type", "text/plain");
  raw.body = "measure=Units";
  HttpRequest request(raw);
  EXPECT_EQ(request.Form().Count(), 0);
  // Without a Host header the server's own address is its name.
  EXPECT_EQ(request.ServerVariables().Item("SERVER_NAME").ToString(), "127.0.0.1");
}

TEST(HttpRequestTest, ServerNameIsTheHostWithoutPort) {
  const std::pair<std::string, std::string> cases[] = {
      {"example.org", "example.org"},
      {"example.org:80", "example.org"},
      {"[::1]:8080", "[::1]"},
      {"[::1]", "[::1]"},
      {"127.0.0.1:8080", "127.0.0.1"},
  };
  for (const auto& [host, name] : cases) {
    SCOPED_TRACE(host);
    EXPECT_EQ(HostNameOf(host), name);
  }
}

TEST(HttpResponseTest, SendsThePropertiesAsHeaders) {
  httplib::Response raw;
  HttpResponse response(raw);
  response.Write("<html>");
  frontend::PreventCaching(response);
  response.AddHeader("X-Injected", "a\r\nSet-Cookie: evil=1");
  response.Finish();
  EXPECT_EQ(raw.body, "<html>");
  EXPECT_EQ(raw.get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(raw.get_header_value("pragma"), "no-cache");
  EXPECT_EQ(raw.get_header_value_count("Cache-Control"), 2u);
  EXPECT_FALSE(raw.get_header_value("Expires").empty());
  EXPECT_FALSE(raw.has_header("Set-Cookie"));
  EXPECT_EQ(raw.get_header_value("X-Injected"), "a  Set-Cookie: evil=1");
}

TEST(HttpResponseTest, TextTypesAreSentInUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"text/html", "text/html; charset=utf-8"},
      {"text/xml", "text/xml; charset=utf-8"},
      {"text/xml; charset=utf-8", "text/xml; charset=utf-8"},
      {"TEXT/HTML; Charset=ISO-8859-1", "TEXT/HTML; Charset=ISO-8859-1"},
      {"image/gif", "image/gif"},
  };
  for (const auto& [type, sent] : cases) {
    SCOPED_TRACE(type);
    EXPECT_EQ(WithCharset(type), sent);
  }
  EXPECT_EQ(HttpDate(std::chrono::system_clock::from_time_t(0)), "Thu, 01 Jan 1970 00:00:00 GMT");
}

TEST(OrvexServerTest, StaticFilesSitInTheHostingPagesFolder) {
  EXPECT_EQ(SitePrefixOf("/"), "/");
  EXPECT_EQ(SitePrefixOf("/explorer"), "/");
  EXPECT_EQ(SitePrefixOf("/orvex/explorer"), "/orvex/");
  EXPECT_EQ(SitePrefixOf("/orvex/"), "/orvex/");
}

}  // namespace
}  // namespace orvex::host
