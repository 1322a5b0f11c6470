#include "engine/store/duckdb/duckdb_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com_error.h"
#include "temp_dir.h"

namespace orvex::engine {
namespace {

using orvex::testing::TempDir;

std::string Render(const RowSet& rows) {
  std::string text;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    for (size_t column = 0; column < rows.column_count(); ++column) {
      const KeyValue& value = rows.at(row, column);
      text += column ? "|" : "";
      if (std::holds_alternative<int64_t>(value)) text += "i:";
      if (std::holds_alternative<double>(value)) text += "d:";
      if (std::holds_alternative<Decimal>(value)) text += "x:" + std::get<Decimal>(value).ToText();
      if (std::holds_alternative<Decimal>(value)) continue;
      if (!std::holds_alternative<std::monostate>(value)) text += ToText(value);
    }
    text += "\n";
  }
  return text;
}

std::filesystem::path MakeDatabase(const TempDir& dir, const std::string& sql) {
  auto path = dir / "data.duckdb";
  DuckDbDatabase::Open(path, DuckDbDatabase::Mode::kReadWrite).Connect().Execute(sql);
  return path;
}

TEST(DuckDbStoreTest, ConvertsEveryColumnTypeAKeyOrAggregateMayHave) {
  TempDir dir;
  auto store = DuckDbStore::Open(MakeDatabase(dir, R"(
      CREATE TYPE mood AS ENUM ('sad', 'happy');
      CREATE TABLE t (i INTEGER, b BIGINT, d DECIMAL(10, 2), f DOUBLE, s VARCHAR, day DATE, stamp TIMESTAMP, m mood,
                      ok BOOLEAN, small TINYINT, big UBIGINT);
      INSERT INTO t VALUES (7, 9000000000, 12.25, 0.5, 'it''s', DATE '1997-03-04', TIMESTAMP '1998-01-02 03:04:05',
                            'happy', true, -3, 18446744073709551615),
                           (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);)"));
  EXPECT_EQ(Render(store->Query("SELECT * FROM t")),
            "i:7|i:9000000000|x:12.25|d:0.5|it's|1997-03-04|1998-01-02 03:04:05|happy|i:1|i:-3|d:18446744073709551616\n"
            "||||||||||\n");
  // Sums of integers are 128-bit in DuckDB and of decimals wide decimals; both come back exact.
  EXPECT_EQ(Render(store->Query("SELECT SUM(i), SUM(d), COUNT(*), AVG(i), SUM(b) * 10000000000, -SUM(b) * 10000000000 "
                                "FROM t")),
            "i:7|x:12.25|i:2|d:7|x:90000000000000000000|x:-90000000000000000000\n");
  EXPECT_EQ(store->Query("SELECT 1 AS one, 2 AS \"two words\"").column_names(),
            (std::vector<std::string>{"one", "two words"}));
}

// A parallel sum of these figures as doubles adds in whatever order its
// threads finish, and was seen to come out dollars apart from one run to the
// next; a DECIMAL sum is read exactly and is the same figure every time.
TEST(DuckDbStoreTest, SumsOfDecimalsAreExactWhateverTheThreadsDo) {
  TempDir dir;
  MakeDatabase(dir, "CREATE TABLE facts AS SELECT CAST([0.1, 0.2, 1234567.89][i % 3 + 1] AS DECIMAL(18, 2)) AS amount "
                    "FROM range(999999) t(i)");
  auto database = DuckDbDatabase::Open(dir / "data.duckdb", DuckDbDatabase::Mode::kReadOnly, {.memory_limit = "", .threads = 4});
  auto connection = database.Connect();
  for (int run = 0; run < 3; ++run) {
    SCOPED_TRACE(run);
    RowSet rows = connection.Query("SELECT SUM(amount) FROM facts");
    ASSERT_TRUE(std::holds_alternative<Decimal>(rows.at(0, 0)));
    EXPECT_EQ(std::get<Decimal>(rows.at(0, 0)).ToText(), "411522318477.27");
  }
}

TEST(DuckDbStoreTest, AFailedQueryCarriesTheStoreMessageAndTheStoreGoesOn) {
  TempDir dir;
  auto store = DuckDbStore::Open(MakeDatabase(dir, "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1), (2);"));
  try {
    (void)store->Query("SELECT nope FROM t");
    ADD_FAILURE() << "no error";
  } catch (const ComError& error) {
    EXPECT_NE(error.description().find("nope"), std::string::npos) << error.description();
  }
  // The store is read-only: what a statement might try to change stays as it was.
  EXPECT_THROW((void)store->Query("DROP TABLE t"), ComError);
  EXPECT_THROW((void)store->Query("INSERT INTO t VALUES (3)"), ComError);
  EXPECT_EQ(Render(store->Query("SELECT SUM(x) FROM t")), "i:3\n");
}

TEST(DuckDbStoreTest, AStatementPastItsDeadlineIsInterruptedAndThePooledConnectionGoesOn) {
  TempDir dir;
  auto store = DuckDbStore::Open(MakeDatabase(dir, "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1), (2);"));
  // Ten billion rows: hours of work unless something stops it.
  const char* heavy = "SELECT SUM(a.range * b.range) FROM range(100000) a, range(100000) b";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    try {
      (void)store->Query(heavy, deadline);
      ADD_FAILURE() << "not interrupted";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find("interrupted"), std::string::npos) << error.description();
    }
    // The same pooled connection answers the next statement.
    EXPECT_EQ(Render(store->Query("SELECT SUM(x) FROM t")), "i:3\n");
  }
  // A deadline already past runs nothing.
  EXPECT_THROW((void)store->Query("SELECT 1", std::chrono::steady_clock::now()), ComError);
}

TEST(DuckDbStoreTest, OpenRefusesWhatIsNotADatabaseAndCreatesNothing) {
  TempDir dir;
  std::ofstream(dir / "notes.txt") << "hi";
  for (const auto& path : {dir / "missing.duckdb", dir / "notes.txt", dir.path()}) {
    SCOPED_TRACE(path.string());
    EXPECT_THROW((void)DuckDbStore::Open(path), ComError);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.duckdb"));
}

TEST(DuckDbStoreTest, QuotesNamesAndValuesSoThatNothingEscapes) {
  TempDir dir;
  auto store = DuckDbStore::Open(MakeDatabase(dir, R"(CREATE TABLE "we""ird" ("o'k" VARCHAR);
      INSERT INTO "we""ird" VALUES ('a''); DROP TABLE x; --'), ('b"c'), ('plain');)"));
  EXPECT_EQ(store->QuoteIdentifier("we\"ird"), "\"we\"\"ird\"");
  EXPECT_EQ(store->QuoteLiteral("it's"), "'it''s'");
  EXPECT_EQ(store->Literal(KeyValue(int64_t{-5})), "-5");
  EXPECT_EQ(store->Literal(KeyValue()), "NULL");
  EXPECT_THROW((void)store->QuoteLiteral(std::string("a\0b", 3)), ComError);
  for (const std::string value : {"a'); DROP TABLE x; --", "b\"c"}) {
    SCOPED_TRACE(value);
    std::string sql = "SELECT COUNT(*) FROM " + store->QuoteIdentifier("we\"ird") + " WHERE " +
                      store->QuoteIdentifier("o'k") + " = " + store->Literal(KeyValue(value));
    EXPECT_EQ(Render(store->Query(sql)), "i:1\n");
  }
  std::string doubles = "SELECT " + store->Literal(KeyValue(0.1)) + " + " + store->Literal(KeyValue(1e300));
  EXPECT_EQ(Render(store->Query(doubles)), "d:1e+300\n");
}

TEST(DuckDbStoreTest, ManyThreadsQueryOneStoreAtOnce) {
  TempDir dir;
  auto store = DuckDbStore::Open(MakeDatabase(dir, "CREATE TABLE t AS SELECT range AS x FROM range(1000);"));
  std::vector<std::string> results(8);
  std::vector<std::thread> threads;
  for (size_t thread = 0; thread < results.size(); ++thread) {
    threads.emplace_back([&, thread] {
      for (int round = 0; round < 20; ++round) {
        results[thread] = Render(store->Query("SELECT SUM(x), COUNT(*) FROM t WHERE x % 2 = 0"));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, "i:249500|i:500\n");
}

}  // namespace
}  // namespace orvex::engine
