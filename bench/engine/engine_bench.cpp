// engine_bench: times typical statements of the cube view on a catalog of the
// sample's shape, through the provider session, in the order a fresh server
// meets them: opening the catalog (its schema), reading the member trees (on
// the first statement), the statement with no cells cached (cold) and the
// same statement again (warm).
//   engine_bench [--catalogs DIR] [--catalog NAME] [--runs N] [--statement MDX]
// --statement times that one statement of the catalog instead of the view's.
// Prints one line per statement with the medians in milliseconds; "first" is
// open + members + cold, what the very first statement of a process costs.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "platform/text.h"
#include "provider/cellset_data.h"
#include "tools/common/command_line.h"
#include "bench_timing.h"

namespace {

using orvex::bench::Clock;
using orvex::bench::Median;
using orvex::bench::Milliseconds;

// The view's statement: rows are the product families, each followed by its
// departments (a family expanded), columns the quarters of 1997; rows sorted
// descending within the hierarchy, empty rows hidden.
std::string FamiliesByQuarters(orvex::engine::EngineSession& session, const std::string& catalog) {
  auto rows = session.Execute(catalog, "SELECT Descendants([Product].[All Products], [Product].[Product Department], "
                                       "SELF_AND_BEFORE) ON 0 FROM [Sales]");
  auto positions = rows->GetAxes()->Item(0)->GetPositions();
  std::string axis1;
  for (int index = 0; index < positions->Count(); ++index) {
    auto member = positions->Item(index)->GetMembers()->Item(0);
    if (member->LevelDepth() == 0) continue;  // the all member
    if (!axis1.empty()) axis1 += ", ";
    axis1 += "(" + orvex::ReplaceAll(member->UniqueName(), "'", "''") + ")";
  }
  return "WITH SET [Axis 0] AS '{([Time].[1997].[Q1]), ([Time].[1997].[Q2]), ([Time].[1997].[Q3]), "
         "([Time].[1997].[Q4])}' SET [Axis 1] AS '{" + axis1 + "}' SELECT Distinct({Hierarchize([Axis 0])}) ON "
         "Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[Unit Sales]), DESC)}) "
         "ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])";
}

struct Statement {
  std::string name;
  std::string mdx;
  bool unbudgeted = false;  // run without time and memory budgets, to show what they prevent
};

std::vector<Statement> Statements(orvex::engine::EngineSession& session, const std::string& catalog) {
  return {
      {"families+departments x 1997 quarters, DESC, NON EMPTY", FamiliesByQuarters(session, catalog)},
      {"store cities x months of 1997", "SELECT NON EMPTY Descendants([Time].[1997], [Time].[Month]) ON 0, "
                                        "NON EMPTY [Store].[Store City].Members ON 1 FROM [Sales]"},
      {"customer states x gender, hidden range",
       "WITH MEMBER [Measures].[__Filtered__Store Sales] AS 'IIf(([Measures].[Store Sales] <= 1000), NULL, "
       "[Measures].[Store Sales])' SELECT Distinct({[Gender].[Gender].Members}) ON Axis(0), NON EMPTY "
       "Distinct({Order(Hierarchize({[Customers].[State Province].Members}), Sum({[Gender].[Gender].Members}, "
       "[Measures].[__Filtered__Store Sales]), BDESC)}) ON Axis(1) FROM [Sales] "
       "WHERE ([Measures].[__Filtered__Store Sales])"},
      // A short request that asks for a sum over every customer and product
      // in each cell: one grouped store statement per cell combination when
      // read at the all members, millions of tuples when built.
      {"sum over customer cities x products, by quarter",
       "WITH MEMBER [Measures].[X] AS Sum(CrossJoin([Customers].[City].Members, [Product].[Product Name].Members), "
       "[Measures].[Unit Sales]) SELECT {[Measures].[X]} ON 0, [Time].[Quarter].Members ON 1 FROM [Sales]"},
      {"the same, built tuple by tuple",
       "WITH MEMBER [Measures].[X] AS Sum(Filter(CrossJoin([Customers].[City].Members, "
       "[Product].[Product Name].Members), 1 = 1), [Measures].[Unit Sales]) SELECT {[Measures].[X]} ON 0, "
       "[Time].[Quarter].Members ON 1 FROM [Sales]",
       true},
  };
}

// Resident memory of this process in megabytes.
double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A statement past the memory budget, run twice on a warm session: resident
// memory before and after each failure shows whether the failed statement
// left anything behind.
void ReportFailedStatementMemory(orvex::engine::EngineSession& session, const std::string& catalog) {
  const std::string heavy = "SELECT NON EMPTY CrossJoin([Customers].[Name].Members, "
                            "[Product].[Product Category].Members) ON 0 FROM [Sales]";
  // The member trees the statement needs, loaded once for the catalog, are not its memory.
  (void)session.Execute(catalog, "WITH MEMBER [Measures].[N] AS Count(CrossJoin([Customers].[Name].Members, "
                                 "[Product].[Product Category].Members)) SELECT {[Measures].[N]} ON 0 FROM [Sales]");
  std::cout << "\nresident MB: before " << std::fixed << std::setprecision(1) << ResidentMegabytes();
  for (int round = 0; round < 2; ++round) {
    auto start = Clock::now();
    std::string outcome = "ran";
    try {
      (void)session.Execute(catalog, heavy);
    } catch (const orvex::ComError& failure) {
      outcome = failure.description().find("--max-statement-memory") != std::string::npos ? "memory budget" : "failed";
    }
    std::cout << ", after failure " << round + 1 << " (" << outcome << ", " << std::setprecision(0)
              << Milliseconds(start) << " ms) " << std::setprecision(1) << ResidentMegabytes();
  }
  std::cout << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  orvex::tools::CommandLine command_line({"--catalogs", "--catalog", "--runs", "--statement"}, {"--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help")) {
    std::cerr << error << "\nUsage: engine_bench [--catalogs DIR] [--catalog NAME] [--runs N] [--statement MDX]\n";
    return error.empty() ? 0 : 2;
  }
  std::string root = command_line.Has("--catalogs") ? command_line.Value("--catalogs") : "data/catalogs";
  std::string catalog = command_line.Has("--catalog") ? command_line.Value("--catalog") : "Sample";
  int runs = command_line.Has("--runs") ? std::max(1, std::stoi(command_line.Value("--runs"))) : 5;
  try {
    auto fresh_session = [&](bool unbudgeted = false) {
      auto sources = std::make_shared<orvex::engine::DataSources>();
      sources->Add("bench", root);
      orvex::engine::EngineOptions options;
      if (unbudgeted) {
        options.query_timeout = std::chrono::milliseconds(0);
        options.max_statement_memory = 0;
      }
      return orvex::engine::EngineSession(sources, "bench", options);
    };
    auto setup = fresh_session();
    bool one = command_line.Has("--statement");
    std::vector<Statement> statements =
        one ? std::vector<Statement>{{"statement", command_line.Value("--statement")}} : Statements(setup, catalog);

    std::cout << std::left << std::setw(56) << "statement" << std::right << std::setw(8) << "cells"
              << std::setw(10) << "open ms" << std::setw(12) << "members ms" << std::setw(10) << "cold ms"
              << std::setw(10) << "warm ms" << std::setw(10) << "first ms" << "\n";
    for (const Statement& statement : statements) {
      std::vector<double> open_times, member_times, cold_times, warm_times, first_times;
      int cells = 0;
      for (int run = 0; run < runs; ++run) {
        auto session = fresh_session(statement.unbudgeted);
        auto start = Clock::now();
        (void)session.GetCubeDefs(catalog);  // reads the schema; members and cells stay unread
        open_times.push_back(Milliseconds(start));
        start = Clock::now();
        // No cells: only the member trees that every statement's filter axis needs.
        (void)session.Execute(catalog, "SELECT {} ON 0 FROM [Sales]");
        member_times.push_back(Milliseconds(start));
        start = Clock::now();
        auto result = session.Execute(catalog, statement.mdx);
        cold_times.push_back(Milliseconds(start));
        first_times.push_back(open_times.back() + member_times.back() + cold_times.back());
        auto axes = result->GetAxes();
        cells = 1;
        for (int axis = 0; axis < axes->Count(); ++axis) cells *= axes->Item(axis)->GetPositions()->Count();
        for (int repeat = 0; repeat < 3; ++repeat) {
          start = Clock::now();
          (void)session.Execute(catalog, statement.mdx);
          warm_times.push_back(Milliseconds(start));
        }
      }
      std::cout << std::left << std::setw(56) << statement.name << std::right << std::setw(8) << cells << std::fixed
                << std::setprecision(2) << std::setw(10) << Median(open_times) << std::setw(12)
                << Median(member_times) << std::setw(10) << Median(cold_times) << std::setw(10)
                << Median(warm_times) << std::setw(10) << Median(first_times) << "\n";
    }
    if (!one) ReportFailedStatementMemory(setup, catalog);
  } catch (const orvex::ComError& failure) {
    std::cerr << "engine_bench: " << failure.description() << "\n";
    return 1;
  }
  return 0;
}
