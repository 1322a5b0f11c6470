#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/asp/application.h"
#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/request_collection.h"
#include "platform/asp/server.h"
#include "platform/com/com_error.h"

namespace orvex::asp {
namespace {

TEST(RequestCollectionTest, RepeatedKeysJoinAndLetterCaseIsIgnored) {
  auto collection = RequestCollection::FromUrlEncoded("ID=1&cube=Sales&id=2&Cube=&empty=&flag");
  EXPECT_EQ(collection.Text(), "ID=1&cube=Sales&id=2&Cube=&empty=&flag");
  EXPECT_EQ(collection.Item("id").ToString(), "1, 2");
  EXPECT_EQ(collection.Item("iD").Count(), 2);
  EXPECT_EQ(collection.Item("id").Item(2), "2");
  EXPECT_EQ(collection.Item("id").Item(3), "");
  EXPECT_EQ(collection.Item("CUBE").ToString(), "Sales, ");
  EXPECT_TRUE(collection.Contains("FLAG"));
  EXPECT_EQ(collection.Item("flag").ToString(), "");
  EXPECT_FALSE(collection.Contains("missing"));
  EXPECT_EQ(collection.Item("missing").Count(), 0);
  // Keys keep the spelling and order of their first appearance.
  EXPECT_EQ(collection.Count(), 4);
  EXPECT_EQ(collection.Key(1), "ID");
  EXPECT_EQ(collection.Key(4), "flag");
  EXPECT_EQ(collection.Key(5), "");
}

TEST(RequestCollectionTest, MalformedEncodingIsTakenAsText) {
  const std::pair<std::string, std::string> cases[] = {
      {"v=a+b", "a b"},
      {"v=%41%2b%2F", "A+/"},
      {"v=100%", "100%"},
      {"v=%4", "%4"},
      {"v=%zz%4g", "%zz%4g"},
      {"v=%%41", "%A"},
      {"v=a=b=c", "a=b=c"},
      {"v=%C3%A9", "\xC3\xA9"},
      {"v=%00x", std::string("\0x", 2)},
      {"&&v=1&&", "1"},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(RequestCollection::FromUrlEncoded(text).Item("v").ToString(), value);
  }
  // Keys are decoded too.
  EXPECT_EQ(RequestCollection::FromUrlEncoded("data%5Fsource=x").Item("data_source").ToString(), "x");
}

TEST(RequestTest, CombinedLookupTakesTheFirstCollectionHoldingTheKey) {
  MemoryRequest request = MemoryRequest::Get("/explorer?cube=fromQuery&view=");
  request.SetForm("cube=fromForm&view=fromForm&measure=fromForm&catalog=fromForm");
  request.AddCookie("measure", "fromCookie");
  request.AddCookie("folder", "fromCookie");
  request.SetServerVariable("CATALOG", "fromServer");
  request.SetServerVariable("SERVER_NAME", "example.org");
  const std::pair<std::string, std::string> cases[] = {
      {"CUBE", "fromQuery"},
      // An empty value still answers and hides the form's value.
      {"view", ""},
      {"measure", "fromForm"},
      {"catalog", "fromForm"},
      {"folder", "fromCookie"},
      {"server_name", "example.org"},
      {"url", "/explorer"},
      {"nowhere", ""},
  };
  for (const auto& [key, value] : cases) {
    SCOPED_TRACE(key);
    EXPECT_EQ(request.Item(key).ToString(), value);
  }
}

TEST(RequestTest, GetSplitsPathAndQueryString) {
  MemoryRequest request = MemoryRequest::Get("/a/page?id=4&x=%20");
  EXPECT_EQ(request.ServerVariables().Item("URL").ToString(), "/a/page");
  EXPECT_EQ(request.ServerVariables().Item("QUERY_STRING").ToString(), "id=4&x=%20");
  EXPECT_EQ(request.QueryString().Text(), "id=4&x=%20");
  EXPECT_EQ(request.QueryString().Item("x").ToString(), " ");
  request.SetServerVariable("url", "/other");
  EXPECT_EQ(request.ServerVariables().Item("URL").Count(), 1);
  EXPECT_EQ(request.ServerVariables().Item("URL").ToString(), "/other");
}

TEST(HostingObjectsTest, ReportTheTypeNamesThePageChecks) {
  EXPECT_EQ(MemoryRequest().TypeName(), "IRequest");
  EXPECT_EQ(MemoryResponse().TypeName(), "IResponse");
  EXPECT_EQ(FolderServer("/srv").TypeName(), "IServer");
  EXPECT_EQ(Application().TypeName(), "IApplicationObject");
}

TEST(ResponseTest, ExpiresAtTheEarlierOfItsTwoSettings) {
  using std::chrono::minutes;
  const auto now = std::chrono::system_clock::now();
  MemoryResponse response;
  EXPECT_FALSE(response.ExpiryTime(now).has_value());
  response.SetExpires(10);
  EXPECT_EQ(response.ExpiryTime(now), now + minutes(10));
  response.SetExpiresAbsolute(now + minutes(5));
  EXPECT_EQ(response.ExpiryTime(now), now + minutes(5));
  response.SetExpires(0);
  EXPECT_EQ(response.ExpiryTime(now), now + minutes(0));
}

TEST(FolderServerTest, MapPathStaysInsideTheSite) {
  FolderServer server("/srv/web");
  const std::pair<std::string, std::string> cases[] = {
      {"styles/default.css", "/srv/web/styles/default.css"},
      {"/styles/default.css", "/srv/web/styles/default.css"},
      {"js/../styles/./default.css", "/srv/web/styles/default.css"},
      {"js\\General.js", "/srv/web/js/General.js"},
      {"", "/srv/web"},
  };
  for (const auto& [path, mapped] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(server.MapPath(path), std::filesystem::path(mapped));
  }
  for (const std::string path : {"..", "../etc/passwd", "js/../../x", "/..\\..\\x"}) {
    SCOPED_TRACE(path);
    EXPECT_THROW((void)server.MapPath(path), ComError);
  }
}

}  // namespace
}  // namespace orvex::asp
