// hierarchy_bench: a parent-child hierarchy (with and without a closure
// table) and a ragged hierarchy of about 100,000 members each, in a DuckDB
// catalog made in a temporary folder, answering a two-level view: the top
// members and their children by one measure. Each run opens the catalog
// afresh, so "cold" includes reading the member tree and every cell from
// the store; "warm" is the same statement again in that process.
//   hierarchy_bench [--runs N] [--only TEXT]
// --only measures the views whose name holds TEXT (for a profiler's run).
// Prints one line per hierarchy with the medians in milliseconds.
#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "provider/cellset_data.h"
#include "temp_dir.h"
#include "tiny_catalog.h"
#include "bench_timing.h"

namespace {

using orvex::bench::Clock;
using orvex::bench::Median;
using orvex::bench::Milliseconds;

// 100,000 staff: ten top members, each member leading ten (ids 1..100000,
// a member's boss is (id - 1) / 10, the top ones' boss 0); a sale per member
// and one more per tenth member. The closure table lists every (ancestor,
// descendant) pair, each member with itself. Geography: 20 countries, of
// which two have no states (their 50 cities each hang from the country),
// the others 100 states of 55 cities: 99,100 cities with one sale each.
const char* kData = R"(
CREATE TABLE staff AS SELECT i AS id, CASE WHEN i <= 10 THEN 0 ELSE (i - 1) // 10 END AS boss,
  'E' || i AS name FROM range(1, 100001) t(i);
CREATE TABLE staff_closure AS
  WITH RECURSIVE up(ancestor, id) AS (SELECT id, id FROM staff
    UNION ALL SELECT s.boss, up.id FROM up JOIN staff s ON s.id = up.ancestor WHERE s.boss <> 0)
  SELECT ancestor, id FROM up;
CREATE TABLE sales AS SELECT i AS staff_id, i % 7 AS amount FROM range(1, 100001) t(i)
  UNION ALL SELECT i, 1 FROM range(1, 100001, 10) t(i);
CREATE TABLE geo AS
  SELECT row_number() OVER () AS id, country, state, city FROM (
    SELECT 'C' || c AS country, 'S' || c || '-' || s AS state, 'T' || c || '-' || s || '-' || t AS city
      FROM range(2, 20) a(c), range(100) b(s), range(55) d(t)
    UNION ALL SELECT 'C' || c, NULL, 'T' || c || '-' || t FROM range(0, 2) a(c), range(50) d(t));
CREATE TABLE geo_sales AS SELECT id AS geo_id, id % 5 AS amount FROM geo;
)";

const char* kSchema = R"(<Schema name="H">
  <Cube name="Staff"><Table name="sales"/>
    <Dimension name="Staff" foreignKey="staff_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
      <Level name="Member" column="id" nameColumn="name" parentColumn="boss" nullParentValue="0" uniqueMembers="true">
        <Closure parentColumn="ancestor" childColumn="id"><Table name="staff_closure"/></Closure></Level>
    </Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube>
  <Cube name="Staff without closure"><Table name="sales"/>
    <Dimension name="Staff" foreignKey="staff_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
      <Level name="Member" column="id" nameColumn="name" parentColumn="boss" nullParentValue="0" uniqueMembers="true"/>
    </Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube>
  <Cube name="Geo"><Table name="geo_sales"/>
    <Dimension name="Geo" foreignKey="geo_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="geo"/>
      <Level name="Country" column="country" uniqueMembers="true"/>
      <Level name="State" column="state" hideMemberIf="IfBlankName"/>
      <Level name="City" column="city"/>
    </Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube>
</Schema>)";

struct View {
  std::string name;
  std::string cube;
  std::string mdx;
  std::string dimension;  // whose members the view reads
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string only;
  for (int index = 1; index + 1 < argc; ++index) {
    if (std::string(argv[index]) == "--runs") runs = std::max(1, std::stoi(argv[index + 1]));
    if (std::string(argv[index]) == "--only") only = argv[index + 1];
  }
  try {
    orvex::testing::TempDir root;
    auto made = Clock::now();
    orvex::testing::WriteCatalog(root.path(), "H", kSchema, kData);
    std::cout << "catalog made in " << std::fixed << std::setprecision(0) << Milliseconds(made) << " ms\n";
    const View views[] = {
        {"parent-child, closure table", "Staff", "SELECT {[Measures].[Amount]} ON 0, Descendants([Staff].[All Staffs], 2, "
                                        "SELF_AND_BEFORE) ON 1 FROM [Staff]", "Staff"},
        {"parent-child, no closure", "Staff without closure", "SELECT {[Measures].[Amount]} ON 0, Descendants([Staff].[All Staffs], 2, "
                                     "SELF_AND_BEFORE) ON 1 FROM [Staff without closure]", "Staff"},
        {"ragged (hideMemberIf)", "Geo", "SELECT {[Measures].[Amount]} ON 0, Hierarchize({[Geo].[Country].Members, "
                                         "[Geo].[C0].Children, [Geo].[C1].Children, [Geo].[State].Members}) ON 1 FROM [Geo]", "Geo"},
    };
    std::cout << std::left << std::setw(30) << "view" << std::right << std::setw(8) << "rows" << std::setw(12)
              << "members ms" << std::setw(12) << "cells ms" << std::setw(12) << "cold ms" << std::setw(12) << "warm ms"
              << "\n";
    for (const auto& view : views) {
      if (view.name.find(only) == std::string::npos) continue;
      std::vector<double> members, cells, cold, warm;
      int rows = 0;
      for (int run = 0; run < runs; ++run) {
        auto sources = std::make_shared<orvex::engine::DataSources>();
        sources->Add("H", root.path());
        orvex::engine::EngineSession session(sources, "H", orvex::engine::EngineOptions{});
        session.GetCubeDefs("H");  // the catalog open: its schema read, the store opened
        auto start = Clock::now();
        auto result = session.Execute("H", view.mdx);
        cold.push_back(Milliseconds(start));
        // Again in a fresh process, the members alone first, then the view's cells.
        auto again = std::make_shared<orvex::engine::DataSources>();
        again->Add("H", root.path());
        orvex::engine::EngineSession split(again, "H", orvex::engine::EngineOptions{});
        split.GetCubeDefs("H");
        start = Clock::now();
        // The all member alone reads no members; its first child does.
        (void)split.Execute("H", "SELECT {} ON 0, {[" + view.dimension + "].DefaultMember.FirstChild} ON 1 FROM [" +
                                     view.cube + "]");
        members.push_back(Milliseconds(start));
        start = Clock::now();
        (void)split.Execute("H", view.mdx);
        cells.push_back(Milliseconds(start));
        rows = result->GetAxes()->Item(1)->GetPositions()->Count();
        start = Clock::now();
        (void)session.Execute("H", view.mdx);
        warm.push_back(Milliseconds(start));
      }
      std::cout << std::left << std::setw(30) << view.name << std::right << std::setw(8) << rows << std::setw(12)
                << std::setprecision(1) << Median(members) << std::setw(12) << Median(cells) << std::setw(12)
                << Median(cold) << std::setw(12) << Median(warm) << "\n";
    }
  } catch (const orvex::ComError& error) {
    std::cerr << "hierarchy_bench: " << error.description() << "\n";
    return 1;
  }
  return 0;
}
