// orvex_host_bench: the host's figures for `make bench`.
//
//   orvex_host_bench soak --server BIN --catalogs DIR --web-root DIR --log FILE [--seconds S] [--clients N]
// runs orvex-server over DIR (holding the sample catalog "Sample") with N
// clients (8) for S seconds (600) of mixed work: the explorer's pages and
// files, the view page for the typical statements, and saving, opening and
// deleting views. Prints the requests, errors and resident memory after the
// first minute (or the first tenth of a shorter run) and at the end; fails
// on any error or when the memory at the end is more than 10% above the
// first figure.
//
//   orvex_host_bench compression --server BIN --catalogs DIR --web-root DIR --log FILE
// asks orvex-server for the view page of every typical statement, without
// compression, and gzips each page at the server's setting; prints the
// page's own time (the median of five) next to the time the server's
// budgeted compression adds, which must stay under a tenth of it (give or
// take the last 64 KB piece before the budget is checked).
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "bench_statements.h"
#include "child_process.h"
#include "engine/catalog/data_sources.h"
#include "engine/provider/engine_session.h"
#include "html/general.h"
#include "host/response_compression.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

constexpr const char* kCatalog = "Sample";

std::map<std::string, std::string> Options(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int index = 2; index + 1 < argc; index += 2) options[argv[index]] = argv[index + 1];
  return options;
}

std::string Required(const std::map<std::string, std::string>& options, const std::string& name) {
  auto found = options.find(name);
  if (found == options.end()) throw std::runtime_error("missing " + name);
  return found->second;
}

std::vector<bench::BenchStatement> Statements(const std::string& catalogs) {
  auto sources = std::make_shared<engine::DataSources>();
  sources->Add("bench", catalogs);
  engine::EngineSession session(sources, "bench", engine::EngineOptions{});
  return bench::TypicalStatements(session, kCatalog);
}

// The resident memory of process `pid` now (VmRSS), in megabytes.
double ResidentMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

std::string Form(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string text;
  for (const auto& [name, value] : fields) text += (text.empty() ? "" : "&") + name + "=" + frontend::URLEncode(value);
  return text;
}

// One client's endless round of mixed work; counts requests and errors.
void Client(int port, int client, const std::vector<std::string>& definitions, const std::atomic<bool>& running,
            std::atomic<int64_t>& requests, std::atomic<int64_t>& errors, std::string& first_error) {
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(120, 0);
  http.set_keep_alive(true);
  static std::mutex error_mutex;
  auto check = [&](const httplib::Result& answer, const char* what, const std::string& must_hold = "") {
    ++requests;
    // A page shows a failure as the error text, as the message row in place of
    // the view's table, or (saved views) as an alert line of its own.
    bool ok = answer && answer->status == 200 && answer->body.find("error has occurred") == std::string::npos &&
              answer->body.find("\n            alert(\"") == std::string::npos &&
              answer->body.find("\n                <tr><td class='heading0BorderAll'>") == std::string::npos &&
              (must_hold.empty() || answer->body.find(must_hold) != std::string::npos);
    if (!ok) {
      ++errors;
      std::lock_guard<std::mutex> lock(error_mutex);
      if (first_error.empty()) {
        first_error = std::string(what) + ": " + (answer ? std::to_string(answer->status) + " " +
                                                               answer->body.substr(0, 2000)
                                                         : httplib::to_string(answer.error()));
      }
    }
  };
  const std::string folder = "soak" + std::to_string(client);
  const std::string type = "application/x-www-form-urlencoded";
  check(http.Post("/?id=3", Form({{"actionID", "add_folder"}, {"folder", ""}, {"new_name", folder}}), type),
        "add folder");
  for (int64_t round = 0; running; ++round) {
    for (const char* target : {"/", "/?id=4", "/?id=5", "/?id=6", "/?id=7", "/js/Parameters.js"}) {
      check(http.Get(target, {{"Accept-Encoding", "gzip"}}), target);
    }
    const std::string& definition = definitions[static_cast<size_t>(round + client) % definitions.size()];
    check(http.Post("/?id=1", Form({{"xml", definition}}), type), "view page");
    const std::string view = "view" + std::to_string(round % 5);
    check(http.Post("/?id=3", Form({{"actionID", "save_view"}, {"folder", folder}, {"new_name", view},
                                    {"view_xml", definition}}),
                    type),
          "save view");
    check(http.Post("/?id=3", Form({{"actionID", "open_view"}, {"folder", folder}, {"view", view}}), type),
          "open view");
    // Saving never replaces a view, so each one is deleted again once opened.
    check(http.Post("/?id=3", Form({{"actionID", "delete_view"}, {"folder", folder}, {"view", view}}), type),
          "delete view");
  }
  check(http.Post("/?id=3", Form({{"actionID", "delete_folder"}, {"folder", folder}}), type), "delete folder");
}

int Soak(const std::map<std::string, std::string>& options) {
  const double seconds = options.count("--seconds") ? std::stod(options.at("--seconds")) : 600;
  const int clients = options.count("--clients") ? std::stoi(options.at("--clients")) : 8;
  const std::string catalogs = Required(options, "--catalogs");
  std::vector<std::string> definitions;
  for (const auto& statement : Statements(catalogs)) {
    definitions.push_back(bench::ViewDefinition(statement, "localhost", kCatalog));
  }
  const std::string views = Required(options, "--log") + ".views";
  std::filesystem::remove_all(views);
  const int port = bench::FreePort();
  bench::BackgroundProcess server({Required(options, "--server"), "--port", std::to_string(port), "--catalogs",
                                   catalogs, "--web-root", Required(options, "--web-root"), "--views-dir", views,
                                   "--max-folders-per-folder", "64"},
                                  Required(options, "--log"));
  httplib::Client probe("127.0.0.1", port);
  for (int attempt = 0; attempt < 600 && !probe.Get("/?id=7"); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

  std::atomic<bool> running = true;
  std::atomic<int64_t> requests = 0;
  std::atomic<int64_t> errors = 0;
  std::vector<std::string> first_errors(static_cast<size_t>(clients));
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int client = 0; client < clients; ++client) {
    threads.emplace_back(Client, port, client, std::cref(definitions), std::cref(running), std::ref(requests),
                         std::ref(errors), std::ref(first_errors[static_cast<size_t>(client)]));
  }
  // The first figure is taken once the server has met every kind of work and
  // its caches and threads have grown: after a minute, or a tenth of a short run.
  const double settle = std::min(60.0, seconds / 10);
  std::this_thread::sleep_for(std::chrono::duration<double>(settle));
  const double settled_mb = ResidentMegabytes(server.pid());
  const int64_t settled_requests = requests;
  std::cout << "after " << settle << " s: " << settled_requests << " requests, resident " << settled_mb << " MB"
            << std::endl;
  double peak_mb = settled_mb;
  while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    peak_mb = std::max(peak_mb, ResidentMegabytes(server.pid()));
  }
  running = false;
  for (auto& thread : threads) thread.join();
  const double end_mb = ResidentMegabytes(server.pid());
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::cout << "after " << elapsed << " s: " << requests << " requests (" << requests / elapsed << "/s) by "
            << clients << " clients, " << errors << " errors, resident " << end_mb << " MB (peak " << peak_mb
            << " MB, " << (end_mb / settled_mb - 1) * 100 << "% against the first figure)" << std::endl;
  for (const std::string& error : first_errors) {
    if (!error.empty()) std::cout << "first error: " << error << std::endl;
  }
  const bool ok = errors == 0 && end_mb <= settled_mb * 1.10;
  std::cout << (ok ? "soak: passed" : "soak: FAILED") << std::endl;
  return ok ? 0 : 1;
}

int Compression(const std::map<std::string, std::string>& options) {
  const std::string catalogs = Required(options, "--catalogs");
  const std::vector<bench::BenchStatement> statements = Statements(catalogs);
  const int port = bench::FreePort();
  bench::BackgroundProcess server({Required(options, "--server"), "--port", std::to_string(port), "--catalogs",
                                   catalogs, "--web-root", Required(options, "--web-root")},
                                  Required(options, "--log"));
  httplib::Client http("127.0.0.1", port);
  http.set_read_timeout(600, 0);
  for (int attempt = 0; attempt < 600 && !http.Get("/?id=7"); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  bool ok = true;
  std::printf("%-28s %10s %10s %10s %9s\n", "page", "bytes", "page ms", "gzip ms", "ratio");
  for (const auto& statement : statements) {
    const std::string body = "xml=" + frontend::URLEncode(bench::ViewDefinition(statement, "localhost", kCatalog));
    (void)http.Post("/?id=1", body, "application/x-www-form-urlencoded");  // warm
    std::vector<double> page_ms;
    std::string page;
    for (int run = 0; run < 5; ++run) {
      auto start = Clock::now();
      auto answer = http.Post("/?id=1", body, "application/x-www-form-urlencoded");
      page_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (answer) page = answer->body;
    }
    std::sort(page_ms.begin(), page_ms.end());
    // As the server does it: a tenth of the page's time as the budget.
    const auto budget = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::milli>(page_ms[2] / 10));
    std::vector<double> gzip_ms;
    size_t packed_size = 0;
    for (int run = 0; run < 5; ++run) {
      auto start = Clock::now();
      auto packed = host::GzipFast(page, budget);
      gzip_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      packed_size = packed ? packed->size() : page.size();
    }
    std::sort(gzip_ms.begin(), gzip_ms.end());
    const double share = gzip_ms[2] / page_ms[2];
    // The budget is checked after every 64 KB, which may add a fraction of a millisecond.
    ok = ok && gzip_ms[2] < page_ms[2] / 10 + 0.5;
    std::printf("%-28s %10zu %10.2f %10.3f %8.1f%%  (%s)\n", statement.key.c_str(), page.size(), page_ms[2],
                gzip_ms[2], share * 100,
                packed_size < page.size()
                    ? ("gzip to " + std::to_string(100 * packed_size / std::max<size_t>(page.size(), 1)) + "%").c_str()
                    : "sent as it is: over budget");
  }
  std::cout << (ok ? "compression: under a tenth of every page's time" : "compression: FAILED") << std::endl;
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "soak") return Soak(Options(argc, argv));
    if (mode == "compression") return Compression(Options(argc, argv));
    std::cerr << "usage: orvex_host_bench soak|compression --server BIN --catalogs DIR --web-root DIR --log FILE "
                 "[--seconds S] [--clients N]\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "orvex_host_bench: " << error.what() << "\n";
    return 1;
  }
}
