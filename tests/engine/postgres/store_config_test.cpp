// store.conf: how a catalog folder names a PostgreSQL server, and what a
// catalog over a server that is not there does.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/catalog/data_sources.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/store/store_config.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"

namespace orvex::engine {
namespace {

using testing::TempDir;

TEST(StoreConfigTest, ReadsConnectionSettingsAndLimits) {
  StoreConfig config = StoreConfig::Parse(
      "# the sales server\r\n\n  Store = PostgreSQL\n\thost = db.example.com\nport=6432\ndbname = sales = 2024\n"
      "user = orvex\npassfile = /etc/orvex/pgpass\nstatement_timeout = 2.5\nmax_connections = 4\n");
  EXPECT_EQ(config.kind, StoreConfig::Kind::kPostgres);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(config.postgres.parameters, (Pairs{{"host", "db.example.com"}, {"port", "6432"}, {"dbname", "sales = 2024"},
                                               {"user", "orvex"}, {"passfile", "/etc/orvex/pgpass"}}));
  EXPECT_EQ(config.postgres.statement_timeout.count(), 2500);
  EXPECT_EQ(config.postgres.max_connections, 4u);
  EXPECT_EQ(StoreConfig::Parse("store = postgres").postgres.statement_timeout.count(), 30000);
}

TEST(StoreConfigTest, MistakesNameTheLineButNeverAValue) {
  const std::pair<const char*, const char*> cases[] = {
      {"store = postgres\nhots = x\n", "line 2: unknown setting 'hots'"},
      {"store = postgres\nuser = a\nUSER = b\n", "line 3: the setting 'user' is given twice"},
      {"store = postgres\npassword s3cret\n", "line 2: a setting is written"},
      {"store = oracle\n", "line 1: the store is 'postgres', 'clickhouse' or 'duckdb'"},
      {"store = postgres\nstatement_timeout = soon\n", "line 2: the setting 'statement_timeout' takes a number"},
      {"store = postgres\nmax_connections = 0\n", "line 2: max_connections takes a whole number"},
      {"host = x\npassword = s3cret\n", "does not say which store"},
      {"store = duckdb\nhost = x\n", "takes none"},
      // libpq would read these from the environment or a file of the server's choosing.
      {"store = postgres\nclient_encoding = LATIN1\n", "unknown setting 'client_encoding'"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    try {
      (void)StoreConfig::Parse(text);
      ADD_FAILURE() << "accepted";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(message), std::string::npos) << error.description();
      EXPECT_EQ(error.description().find("s3cret"), std::string::npos) << error.description();
    }
  }
}

TEST(StoreConfigTest, FolderWithoutStoreConfHoldsItsTablesInDuckDb) {
  TempDir dir;
  StoreConfig config = StoreConfig::Read(dir.path());
  EXPECT_EQ(config.kind, StoreConfig::Kind::kDuckDb);
  EXPECT_EQ(config.duckdb_file, dir / "data.duckdb");
  EXPECT_THROW((void)config.Open(), ComError);  // no data.duckdb
}

TEST(StoreConfigTest, CatalogOverAServerThatIsDownLoadsAndSaysWhyItCannotReachItsData) {
  TempDir root;
  std::filesystem::create_directories(root / "Shop");
  std::ofstream(root / "Shop" / "schema.xml")
      << "<Schema name=\"Shop\"><Cube name=\"Sales\"><Table name=\"sales\"/>"
         "<Measure name=\"Amount\" column=\"amount\" aggregator=\"sum\"/></Cube></Schema>";
  std::ofstream(root / "Shop" / "store.conf") << "store = postgres\nhost = " << (root / "no-server").string()
                                              << "\nconnect_timeout = 2\n";
  auto catalog = CatalogLoader::Load(root / "Shop");
  ASSERT_EQ(catalog->cubes().size(), 1u);
  try {
    catalog->CheckStore();
    FAIL() << "reachable";
  } catch (const ComError& error) {
    EXPECT_NE(error.description().find("The catalog 'Shop' cannot reach its data: Cannot connect"), std::string::npos)
        << error.description();
  }
  std::ofstream(root / "Shop" / "store.conf") << "store = postgres\nhots = x\n";
  EXPECT_THROW((void)CatalogLoader::Load(root / "Shop"), ComError);
}

}  // namespace
}  // namespace orvex::engine
