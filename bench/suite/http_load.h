#pragma once
#include <cstdint>
#include <string>

#include "child_process.h"

namespace orvex::bench {

// What one load of the view page gave.
struct LoadResult {
  double p50_ms = 0;
  double p95_ms = 0;
  double requests_per_second = 0;
  int64_t requests = 0;
  int64_t errors = 0;  // failed connections and answers other than 2xx or 3xx
};

// orvex-server serving a catalogs folder on a free loopback port; ready to
// answer when the constructor returns, stopped when the object ends.
class BenchServer {
 public:
  // Throws std::runtime_error when the server does not answer within a minute.
  BenchServer(const std::string& binary, const std::string& catalogs, const std::string& web_root,
              const std::string& log_file);

  // The view page (id=1) for a posted view definition; throws when the
  // server fails or the page shows a message instead of the view's table.
  std::string ViewPage(const std::string& definition) const;
  // `clients` connections posting `definition` to the view page for
  // `seconds`, through wrk; `work_dir` receives wrk's script.
  LoadResult Load(const std::string& definition, int clients, double seconds, const std::string& work_dir) const;
  // The server's peak resident memory so far, in megabytes.
  double PeakMegabytes() const { return process_.PeakMegabytes(); }

 private:
  int port_;
  BackgroundProcess process_;
};

}  // namespace orvex::bench
