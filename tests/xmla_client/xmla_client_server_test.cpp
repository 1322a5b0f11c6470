// The XMLA client against orvex-server's own XMLA endpoint (one server process
// on a free loopback port, serving the Tiny catalog): everything it reports
// must be what the embedded engine reports for the same catalog.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/engine_session.h"
#include "host/users.h"
#include "platform/com/com_error.h"
#include "platform/text.h"
#include "support/conformance_cases.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "tiny_catalog.h"
#include "xmla_client/xmla_session.h"

namespace orvex::xmla_client {
namespace {

class Server {
 public:
  explicit Server(std::vector<std::string> extra) {
    std::vector<std::string> arguments = {"--port", "0", "--web-root", std::string(ORVEX_SOURCE_DIR) + "/web",
                                          "--data-source", "Tiny=" + testing::TinyCatalogsRoot().string(),
                                          "--default-data-source", "Tiny"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    port_ = testing::SpawnServer(arguments, pid_);
  }
  ~Server() { Stop(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  int port() const { return port_; }
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A loopback port nothing listens on: bound once by the system's choice, then let go.
int UnusedPort() {
  int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(socket);
  return port;
}

std::shared_ptr<XmlaSource> SourceAt(int port, const std::string& items = "") {
  return std::make_shared<XmlaSource>(
      "Remote", ParseXmlaSourceDefinition("xmla:http://127.0.0.1:" + std::to_string(port) + "/xmla" + items));
}

std::unique_ptr<engine::EngineSession> Embedded() {
  auto sources = std::make_shared<engine::DataSources>();
  sources->Add("Tiny", testing::TinyCatalogsRoot());
  return std::make_unique<engine::EngineSession>(sources, "Tiny", engine::EngineOptions{});
}

// The grid of a statement, or "error: " and the message.
std::string Outcome(provider::Session& session, const std::string& statement, bool filter) {
  try {
    return engine::CellsetToTable(*session.Execute("Tiny", statement), filter);
  } catch (const ComError& error) {
    return "error: " + error.description();
  }
}

// Fails at the first line in which the two texts differ, showing both.
void ExpectSameLines(const std::string& expected, const std::string& actual) {
  auto want = Split(expected, "\n");
  auto got = Split(actual, "\n");
  for (size_t line = 0; line < std::max(want.size(), got.size()); ++line) {
    std::string a = line < want.size() ? want[line] : "(nothing)";
    std::string b = line < got.size() ? got[line] : "(nothing)";
    if (a != b) {
      ADD_FAILURE() << "line " << line + 1 << " differs\n  embedded: " << a << "\n  xmla:     " << b;
      return;
    }
  }
}

TEST(XmlaClientServerTest, EveryConformanceStatementGivesTheEmbeddedResult) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  auto embedded = Embedded();
  XmlaSession remote(SourceAt(server.port()), 5);
  int cases = 0;
  for (const auto& file : testing::ConformanceCaseFiles()) {
    for (const auto& test : testing::ReadConformanceCases(file)) {
      SCOPED_TRACE(test.file + ":" + std::to_string(test.line) + " " + test.title);
      bool filter = !test.expected.empty() && test.expected.front().rfind("filter: ", 0) == 0;
      ExpectSameLines(Outcome(*embedded, test.statement, filter), Outcome(remote, test.statement, filter));
      ++cases;
    }
  }
  EXPECT_GT(cases, 50);
}

void DumpMember(std::string& out, const provider::Member& member) {
  auto parent = member.Parent();
  out += "    member " + member.UniqueName() + " name=" + member.Name() + " caption=" + member.Caption() +
         " depth=" + std::to_string(member.LevelDepth()) + " level=" + member.LevelName() +
         " parent=" + (parent ? parent->UniqueName() : "-") + " children=" + std::to_string(member.ChildCount()) +
         "\n";
}

// Everything the provider API shows of a data source, as text.
std::string DumpMetadata(provider::Session& session) {
  std::string out;
  for (const auto& catalog : session.CatalogNames()) {
    out += "catalog " + catalog + "\n";
    auto cubes = session.GetCubeDefs(catalog);
    for (int c = 0; c < cubes->Count(); ++c) {
      auto cube = cubes->Item(c);
      out += "cube " + cube->Name() + " [" + cube->Description() + "]\n";
      for (const auto& set : cube->GetNamedSets()) out += " set " + set.unique_name + " " + set.expression + "\n";
      auto dimensions = cube->GetDimensions();
      for (int d = 0; d < dimensions->Count(); ++d) {
        auto dimension = dimensions->Item(d);
        out += " dimension " + dimension->Name() + " " + dimension->UniqueName() + "\n";
        auto hierarchies = dimension->GetHierarchies();
        for (int h = 0; h < hierarchies->Count(); ++h) {
          auto hierarchy = hierarchies->Item(h);
          const auto& properties = hierarchy->GetProperties();
          out += "  hierarchy '" + hierarchy->Name() + "' " + hierarchy->UniqueName() + " caption=" +
                 hierarchy->Caption() + " default=" + properties.Item("DEFAULT_MEMBER").value.ToString() +
                 " all=" + (properties.Has("ALL_MEMBER") ? properties.Item("ALL_MEMBER").value.ToString() : "-") + "\n";
          EXPECT_EQ(dimension->GetHierarchies()->Item(hierarchy->Name())->UniqueName(), hierarchy->UniqueName());
          auto levels = hierarchy->GetLevels();
          for (int l = 0; l < levels->Count(); ++l) {
            auto level = levels->Item(l);
            auto members = level->GetMembers();
            out += "   level " + level->Name() + " " + level->UniqueName() + " caption=" + level->Caption() +
                   " depth=" + std::to_string(level->Depth()) + " members=" + std::to_string(members->Count()) + "\n";
            for (int m = 0; m < members->Count(); ++m) {
              auto member = members->Item(m);
              DumpMember(out, *member);
              // Found again by unique name and by name, and its children listed.
              EXPECT_EQ(members->Item(member->UniqueName())->UniqueName(), member->UniqueName());
              EXPECT_EQ(members->Item(member->Name())->Name(), member->Name());
              if (m == 0) {
                auto children = member->Children();
                for (int k = 0; k < children->Count(); ++k) out += "     child " + children->Item(k)->UniqueName() + "\n";
              }
            }
          }
        }
      }
    }
  }
  return out;
}

TEST(XmlaClientServerTest, MetadataIsTheEmbeddedMetadata) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  auto embedded = Embedded();
  XmlaSession remote(SourceAt(server.port()), 5);
  std::string expected = DumpMetadata(*embedded);
  ASSERT_NE(expected.find("member [Store].[USA].[CA]"), std::string::npos) << expected;
  ExpectSameLines(expected, DumpMetadata(remote));
}

// The client searches by walking the levels; the engine by its index: one answer.
TEST(XmlaClientServerTest, MemberSearchGivesTheEmbeddedMatches) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  auto embedded = Embedded();
  XmlaSession remote(SourceAt(server.port()), 5);
  for (const provider::MemberSearch& search : {provider::MemberSearch{"Sales", "", "", "an", 0, 1000, ""},
                                               provider::MemberSearch{"Sales", "[Store]", "", "S", 1, 4, ""}}) {
    SCOPED_TRACE(search.text);
    auto names = [&search](provider::Session& session) {
      provider::MemberSearchPage page = session.SearchMembers("Tiny", search);
      std::string out = std::to_string(page.total) + ":";
      for (const auto& member : page.members) out += " " + member->UniqueName();
      return out;
    };
    std::string expected = names(*embedded);
    EXPECT_NE(expected.find("[Store].[USA]"), std::string::npos) << expected;
    EXPECT_EQ(names(remote), expected);
  }
}

// What a page built on axis members asks of them (name, parent chain) costs
// one member request per hierarchy of the result, not one per member.
TEST(XmlaClientServerTest, CompletesTheMembersOfAResultInOneRequestPerHierarchy) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  XmlaSession remote(SourceAt(server.port()), 5);
  auto data = remote.Execute("Tiny",
                             "SELECT {[Product].[Product Category].Members} ON 0, "
                             "{[Store].[Store City].Members} ON 1 FROM [Sales]");
  int before = remote.RequestCount();
  auto axes = data->GetAxes();
  int members = 0;
  for (int axis = 0; axis < axes->Count(); ++axis) {
    auto positions = axes->Item(axis)->GetPositions();
    for (int position = 0; position < positions->Count(); ++position) {
      auto member = positions->Item(position)->GetMembers()->Item(0);
      for (auto walk = member; walk; walk = walk->Parent()) EXPECT_FALSE(walk->Name().empty());
      ++members;
    }
  }
  EXPECT_GT(members, 6);
  EXPECT_EQ(remote.RequestCount() - before, 2);
}

TEST(XmlaClientServerTest, FailuresCarryTheServersOwnMessage) {
  testing::TempDir dir;
  std::ofstream(dir.path() / "users") << "ann " << host::HashPassword("right") << "\n";
  Server open({});
  Server guarded({"--users", (dir.path() / "users").string()});
  ASSERT_GT(open.port(), 0);
  ASSERT_GT(guarded.port(), 0);
  auto embedded = Embedded();
  std::string syntax_error;
  try {
    (void)embedded->Execute("Tiny", "SELECT {[Time].[1997] ON 0 FROM [Sales]");
  } catch (const ComError& error) {
    syntax_error = error.description();
  }
  ASSERT_FALSE(syntax_error.empty());

  struct Case {
    const char* name;
    std::shared_ptr<XmlaSource> source;
    std::string catalog;
    std::string statement;
    std::string message;
  };
  int stopped_port = UnusedPort();
  const std::vector<Case> cases = {
      {"statement", SourceAt(open.port()), "Tiny", "SELECT {[Time].[1997] ON 0 FROM [Sales]", syntax_error},
      {"unknown catalog", SourceAt(open.port()), "Nowhere", "SELECT FROM [Sales]", "'Nowhere' is not on the XMLA"},
      {"catalog left out", SourceAt(open.port(), ";Catalog=Other"), "Tiny", "SELECT FROM [Sales]",
       "'Tiny' is not on the XMLA"},
      {"wrong password", SourceAt(guarded.port(), ";User=ann;Password=wrong"), "Tiny", "SELECT FROM [Sales]",
       "refused the user 'ann'"},
      {"no user", SourceAt(guarded.port()), "Tiny", "SELECT FROM [Sales]", "refused to answer without a user"},
      {"no server", SourceAt(stopped_port), "Tiny", "SELECT FROM [Sales]", "'Remote' did not answer"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    XmlaSession session(test.source, 2);
    try {
      (void)session.GetCubeDefs(test.catalog);
      (void)session.Execute(test.catalog, test.statement);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(test.message), std::string::npos) << error.description();
      // The page is never told where the server is.
      EXPECT_EQ(error.description().find("127.0.0.1"), std::string::npos) << error.description();
    }
  }
  XmlaSession right(SourceAt(guarded.port(), ";User=ann;Password=right"), 5);
  EXPECT_EQ(right.CatalogNames(), std::vector<std::string>{"Tiny"});
}

}  // namespace
}  // namespace orvex::xmla_client

namespace orvex::xmla_client {
namespace {

// Drill-through rows cross the XMLA server as a tabular rowset and come back
// as the embedded engine gives them: headings, numbers, texts, nulls, and
// refusals with the engine's message.
TEST(XmlaClientServerTest, DrillthroughRowsAreTheEmbeddedRows) {
  Server server({});
  ASSERT_GT(server.port(), 0);
  auto embedded = Embedded();
  XmlaSession remote(SourceAt(server.port()), 5);
  auto rows = [](provider::Session& session, const std::string& mdx) {
    try {
      return engine::TabularToTable(session.Drillthrough("Tiny", mdx));
    } catch (const ComError& error) {
      return "error: " + error.description();
    }
  };
  const std::string statements[] = {
      "DRILLTHROUGH MAXROWS 4 SELECT FROM [Sales] WHERE [Store].[USA].[CA]",
      "DRILLTHROUGH SELECT FROM [Sales] WHERE ([Time].[1997].[Q1].[2], [Store].[USA].[CA]) "
      "RETURN Caption([Product].[Product Name]), Key([Customers].[Name]), [Measures].[Store Sales]",
      "DRILLTHROUGH SELECT FROM [Sales] WHERE [Store].[Canada] RETURN [Measures].[Unit Sales]",
      "DRILLTHROUGH SELECT {[Store].[USA].Children} ON 0 FROM [Sales]",
  };
  for (const std::string& mdx : statements) {
    SCOPED_TRACE(mdx);
    std::string expected = rows(*embedded, mdx);
    EXPECT_EQ(rows(remote, mdx), expected);
  }
  EXPECT_NE(rows(remote, statements[0]).find("Store 1"), std::string::npos);
}

}  // namespace
}  // namespace orvex::xmla_client
