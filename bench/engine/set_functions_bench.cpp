// set_functions_bench: Filter, TopCount, Order and Rank over every member of
// the sample's customer level (10,000 customers at scale 1), each reading a
// measure at every member. Prints per statement the medians of the cold run
// (a catalog opened afresh, its member trees read by an empty statement
// first, no cell read), the warm run (the same statement evaluated again,
// its cells cached), the kept run (the same text again, answered from the
// results kept of earlier runs), and how many SQL statements the cold run
// sent to the store.
//   set_functions_bench --catalogs DIR [--catalog NAME] [--runs N]
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "engine/catalog/catalog_loader.h"
#include "engine/cells/sql_cell_reader.h"
#include "engine/eval/query_executor.h"
#include "platform/com/com_error.h"
#include "tools/common/command_line.h"
#include "bench_timing.h"

namespace {

using orvex::bench::Clock;
using orvex::bench::Median;
using orvex::bench::Milliseconds;

struct Statement {
  const char* name;
  const char* mdx;
};

const Statement kStatements[] = {
    {"Filter(customers, units > 100)",
     "SELECT {[Measures].[Unit Sales]} ON 0, Filter([Customers].[Name].Members, [Measures].[Unit Sales] > 100) "
     "ON 1 FROM [Sales]"},
    {"TopCount(customers, 10, units)",
     "SELECT {[Measures].[Unit Sales]} ON 0, TopCount([Customers].[Name].Members, 10, [Measures].[Unit Sales]) "
     "ON 1 FROM [Sales]"},
    {"Order(customers, units, BDESC)",
     "SELECT {[Measures].[Unit Sales]} ON 0, Order([Customers].[Name].Members, [Measures].[Unit Sales], BDESC) "
     "ON 1 FROM [Sales]"},
    {"Rank of each customer among all",
     "WITH MEMBER [Measures].[Rank] AS Rank([Customers].CurrentMember, [Customers].[Name].Members, "
     "[Measures].[Unit Sales]) SELECT {[Measures].[Unit Sales], [Measures].[Rank]} ON 0, "
     "[Customers].[Name].Members ON 1 FROM [Sales]"},
};

}  // namespace

int main(int argc, char** argv) {
  orvex::tools::CommandLine command_line({"--catalogs", "--catalog", "--runs"}, {"--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help") || !command_line.Has("--catalogs")) {
    std::cerr << error << "\nUsage: set_functions_bench --catalogs DIR [--catalog NAME] [--runs N]\n";
    return error.empty() && command_line.Has("--help") ? 0 : 2;
  }
  std::filesystem::path folder = std::filesystem::path(command_line.Value("--catalogs")) /
                                 (command_line.Has("--catalog") ? command_line.Value("--catalog") : "Sample");
  int runs = command_line.Has("--runs") ? std::max(1, std::stoi(command_line.Value("--runs"))) : 5;
  try {
    std::cout << std::left << std::setw(36) << "statement" << std::right << std::setw(8) << "rows" << std::setw(12)
              << "members ms" << std::setw(10) << "cold ms" << std::setw(10) << "warm ms" << std::setw(10)
              << "kept ms" << std::setw(12) << "SQL (cold)" << "\n";
    for (const Statement& statement : kStatements) {
      std::vector<double> member_times, cold_times, warm_times, kept_times;
      size_t rows = 0;
      size_t queries = 0;
      for (int run = 0; run < runs; ++run) {
        auto catalog = orvex::engine::CatalogLoader::Load(folder);
        orvex::engine::EngineOptions evaluate;
        evaluate.cache_results = false;
        orvex::engine::QueryExecutor executor(catalog, evaluate);
        orvex::engine::QueryExecutor keeping(catalog, orvex::engine::EngineOptions{});
        auto& reader = dynamic_cast<orvex::engine::SqlCellReader&>(catalog->FindCube("Sales").cells());
        auto start = Clock::now();
        (void)executor.Execute("SELECT {} ON 0, [Customers].[Name].Members ON 1 FROM [Sales]");
        member_times.push_back(Milliseconds(start));
        size_t before = reader.query_count();
        start = Clock::now();
        auto result = executor.Execute(statement.mdx);
        cold_times.push_back(Milliseconds(start));
        queries = reader.query_count() - before;
        rows = result->axes.size() > 1 ? result->axes[1].positions.size() : 0;
        for (int repeat = 0; repeat < 3; ++repeat) {
          start = Clock::now();
          (void)executor.Execute(statement.mdx);
          warm_times.push_back(Milliseconds(start));
        }
        (void)keeping.Execute(statement.mdx);
        for (int repeat = 0; repeat < 3; ++repeat) {
          start = Clock::now();
          (void)keeping.Execute(statement.mdx);
          kept_times.push_back(Milliseconds(start));
        }
      }
      std::cout << std::left << std::setw(36) << statement.name << std::right << std::setw(8) << rows << std::fixed
                << std::setprecision(2) << std::setw(12) << Median(member_times) << std::setw(10)
                << Median(cold_times) << std::setw(10) << Median(warm_times) << std::setw(10) << Median(kept_times)
                << std::setw(12) << queries << "\n";
    }
  } catch (const orvex::ComError& failure) {
    std::cerr << "set_functions_bench: " << failure.description() << "\n";
    return 1;
  }
  return 0;
}
