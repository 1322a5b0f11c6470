// orvex_bench: the benchmark suite of `make bench` (scripts/bench.sh).
//
//   orvex_bench suite --root STORE:SCALE=DIR ... --server BIN --web-root DIR --work DIR --out FILE
//                     [--runs N] [--http-seconds S] [--http-scale N] [--memory-scale N]
// measures, in one run so that ratios are fair on a noisy machine: the five
// typical statements on every root (a data-source folder holding the sample
// catalog "Sample" in store STORE at SCALE), cold in a fresh process and
// warm, next to hand-written SQL for the same cells on the same store; the
// view page over HTTP with 1 and 8 clients; and the server's peak memory.
// Prints one table and writes the figures as JSON to FILE.
//
// The suite runs itself for every cold measurement:
//   orvex_bench engine --catalogs DIR --statement K [--warm N]   prints "cold=MS warm=MS cells=N"
//   orvex_bench sql --catalogs DIR --statement K                 prints "sql=MS rows=N"
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "bench_statements.h"
#include "child_process.h"
#include "engine/catalog/data_sources.h"
#include "engine/provider/engine_session.h"
#include "engine/store/store_config.h"
#include "http_load.h"
#include "platform/com/com_error.h"
#include "provider/cellset_data.h"
#include "results.h"
#include "tools/common/command_line.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

constexpr const char* kCatalog = "Sample";
constexpr const char* kDataSource = "bench";

double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::shared_ptr<engine::DataSources> Sources(const std::string& root) {
  auto sources = std::make_shared<engine::DataSources>();
  sources->Add(kDataSource, root);
  return sources;
}

engine::EngineSession Session(const std::string& root) {
  return engine::EngineSession(Sources(root), kDataSource, engine::EngineOptions{});
}

// The statements, worked out in a session of their own that is gone before anything is measured.
std::vector<bench::BenchStatement> Statements(const std::string& root) {
  auto session = Session(root);
  return bench::TypicalStatements(session, kCatalog);
}

const bench::BenchStatement& Pick(const std::vector<bench::BenchStatement>& statements, const std::string& index) {
  size_t at = std::stoul(index);
  if (at >= statements.size()) throw std::runtime_error("no statement " + index);
  return statements[at];
}

// A fresh process's first run of a statement (the catalog open, as in a
// server that has started), then `warm` runs more; prints the figures.
int MeasureEngine(const std::string& root, const std::string& index, int warm) {
  auto statements = Statements(root);
  const auto& statement = Pick(statements, index);
  auto session = Session(root);
  (void)session.GetCubeDefs(kCatalog);  // schema and store opened, no member or cell read
  auto start = Clock::now();
  auto result = session.Execute(kCatalog, statement.mdx);
  long cells = 1;
  auto axes = result->GetAxes();
  for (int axis = 0; axis < axes->Count(); ++axis) cells *= axes->Item(axis)->GetPositions()->Count();
  for (int cell = 0; cell < cells; ++cell) (void)result->GetCell(cell)->Value();
  double cold = Milliseconds(start);
  std::vector<double> warm_times;
  for (int run = 0; run < warm; ++run) {
    start = Clock::now();
    auto again = session.Execute(kCatalog, statement.mdx);
    for (int cell = 0; cell < cells; ++cell) (void)again->GetCell(cell)->Value();
    warm_times.push_back(Milliseconds(start));
  }
  std::cout << "cold=" << cold << " warm=" << Median(warm_times) << " cells=" << cells << "\n";
  return 0;
}

// A fresh process's run of the hand-written SQL, the store opened first.
int MeasureSql(const std::string& root, const std::string& index) {
  auto statements = Statements(root);
  const auto& statement = Pick(statements, index);
  auto store = engine::StoreConfig::Read(std::filesystem::path(root) / kCatalog).Open();
  store->CheckReachable();
  auto start = Clock::now();
  engine::RowSet rows = store->Query(statement.sql);
  double elapsed = Milliseconds(start);
  std::cout << "sql=" << elapsed << " rows=" << rows.row_count() << "\n";
  return 0;
}

// The value of `name=` in a child's report.
double Field(const std::string& output, const std::string& name) {
  size_t at = output.find(name + "=");
  if (at == std::string::npos) throw std::runtime_error("no " + name + " in: " + output);
  return std::stod(output.substr(at + name.size() + 1));
}

struct Root {
  std::string store;
  double scale = 0;
  std::string dir;
};

Root ParseRoot(const std::string& text) {
  size_t colon = text.find(':'), equals = text.find('=');
  if (colon == std::string::npos || equals == std::string::npos || equals < colon) {
    throw std::runtime_error("--root takes STORE:SCALE=DIR, not " + text);
  }
  return {text.substr(0, colon), std::stod(text.substr(colon + 1, equals - colon - 1)), text.substr(equals + 1)};
}

int RunSuite(const tools::CommandLine& options, const std::string& self) {
  int runs = options.Has("--runs") ? std::max(1, std::stoi(options.Value("--runs"))) : 5;
  double http_seconds = options.Has("--http-seconds") ? std::stod(options.Value("--http-seconds")) : 5;
  double http_scale = options.Has("--http-scale") ? std::stod(options.Value("--http-scale")) : 1;
  double memory_scale = options.Has("--memory-scale") ? std::stod(options.Value("--memory-scale")) : 100;
  std::string work = options.Value("--work");
  std::filesystem::create_directories(work);
  std::vector<Root> roots;
  for (const auto& text : options.Values("--root")) roots.push_back(ParseRoot(text));

  bench::Results results;
  results.runs = runs;
  // Every run measures every statement on every store once, so that a
  // slow spell of the machine touches all figures alike.
  std::map<std::pair<size_t, size_t>, std::vector<double>> cold, warm, sql;
  std::map<std::pair<size_t, size_t>, long> cells;
  std::vector<std::vector<bench::BenchStatement>> statements;
  for (const auto& root : roots) statements.push_back(Statements(root.dir));
  for (int run = 0; run < runs; ++run) {
    std::cerr << "run " << run + 1 << " of " << runs << "\n";
    for (size_t r = 0; r < roots.size(); ++r) {
      for (size_t s = 0; s < statements[r].size(); ++s) {
        std::string index = std::to_string(s);
        std::string engine = bench::RunToEnd({self, "engine", "--catalogs", roots[r].dir, "--statement", index});
        cold[{r, s}].push_back(Field(engine, "cold"));
        warm[{r, s}].push_back(Field(engine, "warm"));
        cells[{r, s}] = static_cast<long>(Field(engine, "cells"));
        sql[{r, s}].push_back(Field(bench::RunToEnd({self, "sql", "--catalogs", roots[r].dir, "--statement", index}), "sql"));
      }
    }
  }
  for (size_t r = 0; r < roots.size(); ++r) {
    for (size_t s = 0; s < statements[r].size(); ++s) {
      results.statements.push_back({roots[r].store, roots[r].scale, statements[r][s].key, statements[r][s].title,
                                    cells[{r, s}], Median(cold[{r, s}]), Median(warm[{r, s}]), Median(sql[{r, s}])});
    }
  }

  // The view page, and the server's memory, on the DuckDB roots of the scales asked for.
  for (size_t r = 0; r < roots.size(); ++r) {
    const Root& root = roots[r];
    if (root.store != "duckdb" || (root.scale != http_scale && root.scale != memory_scale)) continue;
    std::cerr << "view page at scale " << root.scale << "\n";
    bench::BenchServer server(options.Value("--server"), root.dir, options.Value("--web-root"),
                              work + "/server-" + std::to_string(static_cast<int>(root.scale)) + ".log");
    // Every view once: each must show its table; then they are warm.
    for (const auto& statement : statements[r]) (void)server.ViewPage(bench::ViewDefinition(statement, "localhost", kCatalog));
    const std::string view = bench::ViewDefinition(statements[r].front(), "localhost", kCatalog);
    for (int clients : {1, 8}) {
      if (root.scale != http_scale && clients == 1) continue;
      std::vector<double> p50, p95, rate;
      bench::LoadResult last;
      for (int run = 0; run < std::min(runs, 3); ++run) {
        last = server.Load(view, clients, http_seconds, work);
        p50.push_back(last.p50_ms);
        p95.push_back(last.p95_ms);
        rate.push_back(last.requests_per_second);
      }
      last.p50_ms = Median(p50);
      last.p95_ms = Median(p95);
      last.requests_per_second = Median(rate);
      if (root.scale == http_scale) results.http.push_back({root.scale, clients, last});
    }
    results.memory.push_back({root.scale, server.PeakMegabytes()});
  }

  std::string table = bench::ResultTable(results);
  std::cout << table << std::flush;
  std::filesystem::path out = options.Value("--out");
  std::filesystem::create_directories(out.parent_path());
  std::ofstream(out) << bench::ResultJson(results);
  std::cout << "\nWrote " << out.string() << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: orvex_bench suite|engine|sql OPTIONS (see bench/suite/main.cpp)\n";
    return 2;
  }
  std::string command = argv[1];
  tools::CommandLine options({"--root", "--server", "--web-root", "--work", "--out", "--runs", "--http-seconds",
                              "--http-scale", "--memory-scale", "--catalogs", "--statement", "--warm"},
                             {});
  std::string error = options.Parse(argc - 1, argv + 1);
  if (!error.empty()) {
    std::cerr << error << "\n";
    return 2;
  }
  try {
    if (command == "engine") {
      return MeasureEngine(options.Value("--catalogs"), options.Value("--statement"),
                           options.Has("--warm") ? std::stoi(options.Value("--warm")) : 5);
    }
    if (command == "sql") return MeasureSql(options.Value("--catalogs"), options.Value("--statement"));
    if (command == "suite") return RunSuite(options, std::filesystem::read_symlink("/proc/self/exe").string());
    std::cerr << "unknown command " << command << "\n";
    return 2;
  } catch (const ComError& failure) {
    std::cerr << "orvex_bench " << command << ": " << failure.description() << "\n";
  } catch (const std::exception& failure) {
    std::cerr << "orvex_bench " << command << ": " << failure.what() << "\n";
  }
  return 1;
}
