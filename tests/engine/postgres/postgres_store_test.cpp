// The PostgreSQL store against the test server: reading what the server
// returns, the pool, cancelling slow statements, and losing and regaining
// the server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_store.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "temp_dir.h"

namespace orvex::engine {
namespace {

using testing::PostgresTestSettings;
using testing::RenderRows;
using testing::TempDir;

// An application name of this process, so that a test finds its own sessions.
std::string AppName(const std::string& test) { return "orvex-" + test + "-" + std::to_string(getpid()); }

PostgresConnection Admin() { return PostgresConnection::Open(PostgresTestSettings("scratch")); }

// Sessions of `application` that the server runs now.
int64_t Sessions(PostgresConnection& admin, const std::string& application, const std::string& extra = "") {
  RowSet rows = admin.Query("SELECT count(*) FROM pg_stat_activity WHERE application_name = " +
                            QuoteStandardLiteral(application) + extra);
  return std::get<int64_t>(rows.at(0, 0));
}

// Ends every session of `application` and waits until the server has let them go.
void TerminateSessions(const std::string& application) {
  auto admin = Admin();
  (void)admin.Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = " +
                    QuoteStandardLiteral(application));
  for (int attempt = 0; attempt < 500 && Sessions(admin, application) > 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TEST(PostgresStoreTest, TablesCopiedFromDuckDbReadBackTheSame) {
  TempDir dir;
  auto duckdb = DuckDbDatabase::Open(dir / "kinds.duckdb", DuckDbDatabase::Mode::kReadWrite).Connect();
  duckdb.Execute(R"(CREATE TABLE "odd ""kinds""" (id INTEGER, big BIGINT, small SMALLINT, amount DECIMAL(10, 2),
                        ratio DOUBLE, flag BOOLEAN, name VARCHAR, day DATE, moment TIMESTAMP);
    INSERT INTO "odd ""kinds""" VALUES
      (1, 9223372036854775807, -32768, 12.34, 0.1, true, 'plain', DATE '1997-01-02', TIMESTAMP '1997-01-02 03:04:05'),
      (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),
      (3, -1, 0, -0.05, 1e300, false, 'tab	new
line \ back \N quote '' "dq" ünï €', DATE '1998-12-31', TIMESTAMP '1998-12-31 23:59:59.5'),
      (4, 0, 1, 99999999.99, -2.5, true, '', DATE '2000-02-29', TIMESTAMP '2000-02-29 00:00:00'))");
  auto target = Admin();
  EXPECT_EQ(CopyTablesToPostgres(duckdb, {"odd \"kinds\""}, target), std::vector<int64_t>{4});

  PostgresStore store(PostgresTestSettings("scratch"));
  const std::string sql = R"(SELECT * FROM "odd ""kinds""" ORDER BY id)";
  EXPECT_EQ(RenderRows(store.Query(sql)), RenderRows(duckdb.Query(sql)));
  // The texts sort by their bytes, as in DuckDB, whatever the server's locale.
  const std::string sorted = R"(SELECT name FROM "odd ""kinds""" ORDER BY name NULLS LAST)";
  EXPECT_EQ(RenderRows(store.Query(sorted)), RenderRows(duckdb.Query(sorted)));
}

TEST(PostgresStoreTest, CopyOfSeveralTablesChangesNothingWhenOneFails) {
  TempDir dir;
  auto duckdb = DuckDbDatabase::Open(dir / "two.duckdb", DuckDbDatabase::Mode::kReadWrite).Connect();
  duckdb.Execute("CREATE TABLE kept (x INTEGER); INSERT INTO kept VALUES (1), (2)");
  auto target = Admin();
  target.Execute("DROP TABLE IF EXISTS kept; CREATE TABLE kept (x integer); INSERT INTO kept VALUES (7)");
  EXPECT_THROW(CopyTablesToPostgres(duckdb, {"kept", "missing"}, target), ComError);
  EXPECT_EQ(RenderRows(target.Query("SELECT x FROM kept")), std::vector<std::string>{"int:7"});
}

TEST(PostgresStoreTest, QuotedNamesAndTextsArriveExactlyWhateverTheServerSettings) {
  // A server that reads backslashes in literals as escapes, as old ones did.
  const std::string database = "quoting_" + std::to_string(getpid());
  auto admin = Admin();
  admin.Execute("DROP DATABASE IF EXISTS " + database);
  admin.Execute("CREATE DATABASE " + database);
  admin.Execute("ALTER DATABASE " + database + " SET standard_conforming_strings = off");
  {
    PostgresStore store(PostgresTestSettings(database));
    const std::string text = "a\\' OR 1=1 -- \\'' \"q\" ] end";
    RowSet rows = store.Query("SELECT " + store.QuoteLiteral(text) + " AS " + store.QuoteIdentifier("x \"y\" \\"));
    EXPECT_EQ(RenderRows(rows), std::vector<std::string>{"text:" + text});
    EXPECT_EQ(rows.column_names(), std::vector<std::string>{"x \"y\" \\"});
  }
  admin.Execute("DROP DATABASE " + database + " WITH (FORCE)");
}

TEST(PostgresStoreTest, FailedStatementReportsTheServerAndKeepsTheConnection) {
  PostgresStore store(PostgresTestSettings("scratch"));
  try {
    (void)store.Query("SELECT * FROM no_such_table");
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_NE(error.description().find("no_such_table"), std::string::npos) << error.description();
  }
  // Only one statement per query: nothing rides along after a semicolon.
  EXPECT_THROW((void)store.Query("SELECT 1; DROP TABLE kept"), ComError);
  EXPECT_EQ(RenderRows(store.Query("SELECT 1 AS one")), std::vector<std::string>{"int:1"});
  EXPECT_EQ(store.open_connections(), 1u);
}

TEST(PostgresStoreTest, SlowStatementIsCancelledAtTheLimitAndTheConnectionStaysUsable) {
  PostgresStore store(PostgresTestSettings("scratch", "statement_timeout = 0.2\n"));
  try {
    (void)store.Query("SELECT pg_sleep(20)");
    FAIL() << "not cancelled";
  } catch (const ComError& error) {
    EXPECT_NE(error.description().find("cancelled"), std::string::npos) << error.description();
    EXPECT_NE(error.description().find("0.2 s"), std::string::npos) << error.description();
  }
  EXPECT_EQ(RenderRows(store.Query("SELECT 2")), std::vector<std::string>{"int:2"});
  EXPECT_EQ(store.open_connections(), 1u);
}

TEST(PostgresStoreTest, StatementPastItsOwnDeadlineIsCancelledBeforeTheStoreLimit) {
  PostgresStore store(PostgresTestSettings("scratch", "statement_timeout = 60\n"));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  EXPECT_THROW((void)store.Query("SELECT pg_sleep(20)", deadline), ComError);
  EXPECT_EQ(RenderRows(store.Query("SELECT 3")), std::vector<std::string>{"int:3"});
  EXPECT_EQ(store.open_connections(), 1u);
}

TEST(PostgresStoreTest, ConnectionLostMidStatementFailsAndTheNextStatementReconnects) {
  const std::string application = AppName("lost");
  PostgresStore store(PostgresTestSettings("scratch", "application_name = " + application + "\n"));
  std::string failure;
  std::thread slow([&] {
    try {
      (void)store.Query("SELECT pg_sleep(20)");
    } catch (const ComError& error) {
      failure = error.description();
    }
  });
  auto admin = Admin();
  for (int attempt = 0; attempt < 500 && Sessions(admin, application, " AND state = 'active'") == 0; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  TerminateSessions(application);
  slow.join();
  EXPECT_NE(failure.find("lost"), std::string::npos) << failure;
  EXPECT_EQ(store.open_connections(), 0u);
  EXPECT_EQ(RenderRows(store.Query("SELECT 3")), std::vector<std::string>{"int:3"});
}

TEST(PostgresStoreTest, ConnectionsTheServerClosedWhileIdleAreReplacedUnnoticed) {
  const std::string application = AppName("idle");
  PostgresStore store(PostgresTestSettings("scratch", "application_name = " + application + "\n"));
  (void)store.Query("SELECT 1");
  TerminateSessions(application);
  EXPECT_EQ(RenderRows(store.Query("SELECT 4")), std::vector<std::string>{"int:4"});
  store.CheckReachable();
  EXPECT_EQ(store.open_connections(), 1u);
}

// The test server's settings for the scratch database with `keyword` set to `value`.
PostgresSettings With(const std::string& keyword, const std::string& value) {
  PostgresSettings settings = PostgresTestSettings("scratch");
  auto& parameters = settings.parameters;
  std::erase_if(parameters, [&](const auto& parameter) { return parameter.first == keyword; });
  parameters.emplace_back(keyword, value);
  parameters.emplace_back("password", "pw-secret-42");
  return settings;
}

TEST(PostgresStoreTest, ServerThatIsDownOrRefusesTheLoginFailsWithItsReason) {
  TempDir no_server;
  struct Case {
    std::string name;
    PostgresSettings settings;
  } cases[] = {
      {"down", With("host", no_server.path().string())},
      {"unknown user", With("user", "nobody_here")},
      {"unknown database", With("dbname", "no_such_database")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PostgresStore store(c.settings);
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        (void)store.Query("SELECT 1");
        ADD_FAILURE() << "connected";
      } catch (const ComError& error) {
        EXPECT_NE(error.description().find("Cannot connect to the PostgreSQL server"), std::string::npos)
            << error.description();
        EXPECT_EQ(error.description().find("pw-secret-42"), std::string::npos) << error.description();
      }
    }
    EXPECT_THROW(store.CheckReachable(), ComError);
    EXPECT_EQ(store.open_connections(), 0u);
  }
}

TEST(PostgresStoreTest, DatabaseThatAppearsLaterIsUsedWithoutStartingAgain) {
  const std::string database = "late_" + std::to_string(getpid());
  auto admin = Admin();
  admin.Execute("DROP DATABASE IF EXISTS " + database);
  {
    PostgresStore store(PostgresTestSettings(database));
    EXPECT_THROW(store.CheckReachable(), ComError);
    admin.Execute("CREATE DATABASE " + database);
    EXPECT_EQ(RenderRows(store.Query("SELECT 5")), std::vector<std::string>{"int:5"});
  }
  admin.Execute("DROP DATABASE " + database);
}

TEST(PostgresStoreTest, ManyThreadsShareAFewConnections) {
  auto settings = PostgresTestSettings("scratch", "max_connections = 3\n");
  PostgresStore store(settings);
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 8; ++thread) {
    threads.emplace_back([&, thread] {
      for (int query = 0; query < 20; ++query) {
        int64_t expected = thread * 100 + query;
        // Some statements take a while, so that threads must wait for a free connection.
        RowSet rows = store.Query("SELECT " + std::to_string(expected) + ", pg_sleep(" + (query % 5 ? "0" : "0.02") + ")");
        if (std::get<int64_t>(rows.at(0, 0)) != expected) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(store.open_connections(), 3u);
  EXPECT_GE(store.open_connections(), 1u);
}

}  // namespace
}  // namespace orvex::engine
