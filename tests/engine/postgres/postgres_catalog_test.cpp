// Catalogs over the test server: a catalog whose server is missing loads,
// reports the server's reason where a view is built (the view page shows it
// and logs it) and works as soon as the server is there, without a restart.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/embedded_provider.h"
#include "engine/provider/engine_session.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "html/general.h"
#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/server.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "render/view.h"
#include "support/hosting.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using testing::TempDir;

// A database on the test server that is dropped, sessions and all, at the end of scope.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(std::string prefix) : name_(prefix + "_" + std::to_string(getpid())) { Drop(); }
  ~ScratchDatabase() { Drop(); }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;
  const std::string& name() const { return name_; }

  // Creates the database with the Tiny catalog's tables in it.
  void LoadTiny() const {
    PostgresConnection::Open(testing::PostgresTestSettings("scratch")).Execute("CREATE DATABASE " + name_);
    auto source = DuckDbDatabase::Open(testing::TinyCatalogsRoot() / "Tiny" / "data.duckdb",
                                       DuckDbDatabase::Mode::kReadOnly).Connect();
    auto target = PostgresConnection::Open(testing::PostgresTestSettings(name_));
    CopyTablesToPostgres(source, DuckDbTableNames(source), target);
  }

 private:
  void Drop() const {
    PostgresConnection::Open(testing::PostgresTestSettings("scratch"))
        .Execute("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
  }
  std::string name_;
};

// The data source "Late": `root` holding the catalog "Tiny", Tiny's schema
// over `database` on the test server.
std::shared_ptr<DataSources> LateSources(const TempDir& root, const std::string& database) {
  std::filesystem::create_directories(root / "Tiny");
  std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "tests/catalogs/Tiny/schema.xml",
                             root / "Tiny" / "schema.xml", std::filesystem::copy_options::overwrite_existing);
  std::ofstream(root / "Tiny" / "store.conf") << testing::PostgresStoreConf(database);
  auto sources = std::make_shared<DataSources>();
  sources->Add("Late", root.path());
  return sources;
}

constexpr const char* kYears = "SELECT {[Time].[1997], [Time].[1998]} ON 0, [Store].[Store Country].Members ON 1 FROM [Sales]";

TEST(PostgresCatalogTest, CatalogWhoseDatabaseIsMissingSaysSoAndRecoversWhenItIsThere) {
  ScratchDatabase database("tiny_late");
  TempDir root;
  EngineSession session(LateSources(root, database.name()), "Late", EngineOptions{});
  EXPECT_EQ(session.CatalogNames(), std::vector<std::string>{"Tiny"});
  try {
    (void)session.GetCubeDefs("Tiny");
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_NE(error.description().find("The catalog 'Tiny' cannot reach its data: Cannot connect to the PostgreSQL"),
              std::string::npos)
        << error.description();
  }
  EXPECT_THROW((void)session.Execute("Tiny", kYears), ComError);

  database.LoadTiny();
  EXPECT_EQ(session.GetCubeDefs("Tiny")->Count(), 1);
  auto duckdb_sources = std::make_shared<DataSources>();
  duckdb_sources->Add("Tiny", testing::TinyCatalogsRoot());
  EngineSession duckdb(duckdb_sources, "Tiny", EngineOptions{});
  EXPECT_EQ(CellsetToTable(*session.Execute("Tiny", kYears), true), CellsetToTable(*duckdb.Execute("Tiny", kYears), true));
}

// The view body for a view of the years on the Tiny catalog of the data source "Late".
std::string WriteViewPage() {
  const std::string xml =
      "<cubeView><dataSource provider=\"MSOLAP\">Late</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
      "<measure>Unit Sales</measure><ranges></ranges><axes><axis><set><t><m>[Time].[1997]</m></t>"
      "<t><m>[Time].[1998]</m></t></set></axis></axes></cubeView>";
  asp::MemoryRequest request = asp::MemoryRequest::Get("/explorer?id=1");
  request.SetForm("xml=" + frontend::URLEncode(xml));
  asp::MemoryResponse response;
  asp::FolderServer server(std::filesystem::path(ORVEX_SOURCE_DIR) / "web");
  render::View().WriteHTMLTablePage(request, response, server, 2);
  return response.Body();
}

TEST(PostgresCatalogTest, ViewPageShowsAndLogsTheMissingServerThenWorksOnceItIsBack) {
  ScratchDatabase database("tiny_page");
  TempDir root;
  RegisterEmbeddedProvider(LateSources(root, database.name()));
  test::ScopedEventLog log("postgres-page");

  std::string page = WriteViewPage();
  // The page names the catalog; where its server is stays in the event log.
  EXPECT_NE(page.find("<tr><td class='heading0BorderAll'>The catalog 'Tiny' cannot reach its data. The event log has "
                      "the details."),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("PostgreSQL server"), std::string::npos) << page;
  EXPECT_NE(log.Text().find("cannot reach its data: Cannot connect to the PostgreSQL server"), std::string::npos)
      << log.Text();

  database.LoadTiny();
  page = WriteViewPage();
  EXPECT_EQ(page.find("cannot reach its data"), std::string::npos) << page;
  EXPECT_NE(page.find(">78.00<"), std::string::npos) << page;
}

}  // namespace
}  // namespace orvex::engine
