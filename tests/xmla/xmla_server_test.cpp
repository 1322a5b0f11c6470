// orvex-server's XMLA endpoint over HTTP: one server process on a free
// loopback port, serving the Tiny catalog.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "host/server_settings.h"
#include "host/users.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "tiny_catalog.h"


namespace orvex {
namespace {

// orvex-server with `extra` arguments; the port is read from its first line.
class Server {
 public:
  explicit Server(std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--port", "0", "--web-root", std::string(ORVEX_SOURCE_DIR) + "/web",
                                          "--data-source", "Tiny=" + testing::TinyCatalogsRoot().string(),
                                          "--default-data-source", "Tiny"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    port_ = testing::SpawnServer(arguments, pid_);
  }
  ~Server() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

std::string Discover(const std::string& type) {
  return "<Envelope><Body><Discover xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><RequestType>" + type +
         "</RequestType><Restrictions/><Properties/></Discover></Body></Envelope>";
}

TEST(XmlaServerTest, AnswersSoapPostsAtItsPathOnly) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());

  auto datasources = client.Post("/xmla", Discover("DISCOVER_DATASOURCES"), "text/xml");
  ASSERT_TRUE(datasources);
  EXPECT_EQ(datasources->status, 200);
  EXPECT_EQ(datasources->get_header_value("Content-Type"), "text/xml; charset=utf-8");
  EXPECT_NE(datasources->body.find("<DataSourceName>Tiny</DataSourceName>"), std::string::npos) << datasources->body;

  auto failed = client.Post("/xmla",
                            "<Envelope><Body><Execute><Command><Statement>SELECT FROM [&lt;b&gt;]</Statement></Command>"
                            "</Execute></Body></Envelope>",
                            "text/xml");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 200);
  EXPECT_NE(failed->body.find("XMLAnalysisError.0xC10A0006"), std::string::npos);
  EXPECT_EQ(failed->body.find("<b>"), std::string::npos);

  auto garbage = client.Post("/xmla", "SELECT 1", "text/plain");
  ASSERT_TRUE(garbage);
  EXPECT_EQ(garbage->status, 400);
  EXPECT_NE(garbage->body.find("XMLAnalysisError.0xC10A0001"), std::string::npos);

  auto got = client.Get("/xmla");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->status, 405);
}

TEST(XmlaServerTest, PathFlagMovesTheEndpointAndNoXmlaRemovesIt) {
  struct Case {
    std::vector<std::string> flags;
    const char* path;
    int status;
  } cases[] = {
      {{"--xmla-path", "/olap/xmla"}, "/olap/xmla", 200},
      {{"--xmla-path", "/olap/xmla"}, "/xmla", 405},
      {{"--no-xmla"}, "/xmla", 405},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.path);
    Server server(test.flags);
    ASSERT_GT(server.port(), 0);
    auto reply = httplib::Client("127.0.0.1", server.port()).Post(test.path, Discover("DBSCHEMA_CATALOGS"), "text/xml");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, test.status);
  }
}

TEST(XmlaServerTest, UsersFileClosesEveryPathToOthers) {
  testing::TempDir dir;
  std::ofstream(dir.path() / "users") << "ann " << host::HashPassword("right") << "\n";
  Server server({"--users", (dir.path() / "users").string()});
  ASSERT_GT(server.port(), 0);
  httplib::Client client("127.0.0.1", server.port());
  for (const char* path : {"/xmla", "/", "/js/ParametersHeader.js"}) {
    SCOPED_TRACE(path);
    auto anonymous = client.Get(path);
    ASSERT_TRUE(anonymous);
    EXPECT_EQ(anonymous->status, 401);
    EXPECT_EQ(anonymous->get_header_value("WWW-Authenticate"), "Basic realm=\"Orvex\", charset=\"UTF-8\"");
  }
  client.set_basic_auth("ann", "wrong");
  auto wrong = client.Post("/xmla", Discover("DBSCHEMA_CATALOGS"), "text/xml");
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 401);
  client.set_basic_auth("ann", "right");
  auto right = client.Post("/xmla", Discover("DBSCHEMA_CATALOGS"), "text/xml");
  ASSERT_TRUE(right);
  EXPECT_EQ(right->status, 200);
  EXPECT_NE(right->body.find("<CATALOG_NAME>Tiny</CATALOG_NAME>"), std::string::npos);
}

std::string Soap(const std::string& method, const std::string& header = "") {
  return "<Envelope>" + (header.empty() ? "" : "<Header>" + header + "</Header>") + "<Body>" + method +
         "</Body></Envelope>";
}

std::string ExecuteMdx(const std::string& mdx) {
  return "<Execute xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><Command><Statement>" + mdx +
         "</Statement></Command><Properties><PropertyList><Catalog>Tiny</Catalog></PropertyList></Properties>"
         "</Execute>";
}

std::string DiscoverIn(const std::string& type, const std::string& restrictions) {
  return "<Discover xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><RequestType>" + type +
         "</RequestType><Restrictions><RestrictionList><CATALOG_NAME>Tiny</CATALOG_NAME>" + restrictions +
         "</RestrictionList></Restrictions><Properties><PropertyList><Catalog>Tiny</Catalog></PropertyList>"
         "</Properties></Discover>";
}

TEST(XmlaServerTest, AUserWithARoleSeesOnlyWhatTheRoleGrants) {
  testing::TempDir dir;
  std::ofstream(dir.path() / "users") << "ann " << host::HashPassword("a") << "\n"
                                      << "cal " << host::HashPassword("c") << " California\n"
                                      << "nob " << host::HashPassword("n") << " No Such Role\n";
  Server server({"--users", (dir.path() / "users").string()});
  ASSERT_GT(server.port(), 0);
  auto post = [&](const std::string& user, const std::string& password, const std::string& body) {
    httplib::Client client("127.0.0.1", server.port());
    client.set_basic_auth(user, password);
    auto reply = client.Post("/xmla", body, "text/xml");
    return reply ? reply->body : std::string("no reply");
  };
  struct Case {
    std::string name, body, hidden, shown;  // under the role `hidden` is nowhere in the reply; `shown` is there
  };
  const std::vector<Case> cases = {
      {"members", Soap(DiscoverIn("MDSCHEMA_MEMBERS", "<CUBE_NAME>Sales</CUBE_NAME>"
                                                      "<HIERARCHY_UNIQUE_NAME>[Store]</HIERARCHY_UNIQUE_NAME>")),
       "Portland", "[Store].[USA].[CA].[San Francisco]"},
      {"dimensions", Soap(DiscoverIn("MDSCHEMA_DIMENSIONS", "<CUBE_NAME>Sales</CUBE_NAME>")), "[Customers]",
       "[Store]"},
      {"states", Soap(ExecuteMdx("SELECT [Store].[Store State].Members ON 0 FROM Sales")), "[Store].[USA].[OR]",
       "[Store].[USA].[CA]"},
      {"a guess by name", Soap(ExecuteMdx("SELECT {[Store].[USA].[WA]} ON 0 FROM Sales")), "<Axes>", "[WA]"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::string everything = post("ann", "a", test.body);
    EXPECT_NE(everything.find(test.hidden), std::string::npos) << "a user without a role sees it: " << everything;
    std::string restricted = post("cal", "c", test.body);
    EXPECT_EQ(restricted.find(test.hidden), std::string::npos) << restricted;
    EXPECT_NE(restricted.find(test.shown), std::string::npos) << restricted;
  }
  // A session begun under one role is not found by a user of another.
  std::string begun = post("cal", "c", Soap(DiscoverIn("MDSCHEMA_CUBES", ""),
                                            "<BeginSession xmlns=\"urn:schemas-microsoft-com:xml-analysis\"/>"));
  size_t at = begun.find("SessionId=\"");
  ASSERT_NE(at, std::string::npos) << begun;
  std::string id = begun.substr(at + 11, begun.find('"', at + 11) - at - 11);
  std::string header = "<Session xmlns=\"urn:schemas-microsoft-com:xml-analysis\" SessionId=\"" + id + "\"/>";
  const std::string states = ExecuteMdx("SELECT [Store].[Store State].Members ON 0 FROM Sales");
  EXPECT_NE(post("ann", "a", Soap(states, header)).find("0xC10A0005"), std::string::npos);
  std::string in_session = post("cal", "c", Soap(states, header));
  EXPECT_EQ(in_session.find("[Store].[USA].[OR]"), std::string::npos) << in_session;
  EXPECT_NE(in_session.find("[Store].[USA].[CA]"), std::string::npos) << in_session;
  // A role the schema does not define is a clear fault, not an open door.
  std::string unknown = post("nob", "n", Soap(states));
  EXPECT_NE(unknown.find("The role &apos;No Such Role&apos; is not defined in the catalog &apos;Tiny&apos;"), std::string::npos)
      << unknown;
  // The explorer's pages run under the role too, and a data source name the page is given cannot widen it.
  for (const char* target : {"/?id=1&data_source=Tiny&catalog=Tiny&cube=Sales",
                             "/?id=1&data_source=Tiny%3BRole%3D&catalog=Tiny&cube=Sales"}) {
    SCOPED_TRACE(target);
    httplib::Client page("127.0.0.1", server.port());
    page.set_basic_auth("ann", "a");
    auto everything = page.Get(target);
    ASSERT_TRUE(everything);
    EXPECT_NE(everything->body.find("\"Customers\""), std::string::npos) << everything->body;
    page.set_basic_auth("cal", "c");
    auto restricted = page.Get(target);
    ASSERT_TRUE(restricted);
    EXPECT_EQ(restricted->body.find("Customers"), std::string::npos) << restricted->body;
    EXPECT_NE(restricted->body.find("\"Unit Sales\""), std::string::npos) << restricted->body;
  }
}

TEST(XmlaServerTest, FlagsNameAPathOrTurnTheEndpointOff) {
  host::ServerSettings defaults = host::ParseServerArguments({});
  EXPECT_TRUE(defaults.xmla);
  EXPECT_EQ(defaults.xmla_path, "/xmla");
  host::ServerSettings moved = host::ParseServerArguments({"--xmla-path=/a/b", "--no-xmla"});
  EXPECT_EQ(moved.xmla_path, "/a/b");
  EXPECT_FALSE(moved.xmla);
  for (const char* bad : {"xmla", "", "/x?y=1", "/x#y"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(host::ParseServerArguments({"--xmla-path", bad}), host::UsageError);
  }
}

}  // namespace
}  // namespace orvex
