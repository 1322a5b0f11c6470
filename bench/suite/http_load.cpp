#include "http_load.h"

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "html/general.h"

namespace orvex::bench {
namespace {

// The form a browser posts for the view page.
std::string Body(const std::string& definition) { return "xml=" + frontend::URLEncode(definition); }

// The value after "name=" in wrk's report line.
double Field(const std::string& line, const std::string& name) {
  size_t at = line.find(" " + name + "=");
  if (at == std::string::npos) throw std::runtime_error("wrk did not report " + name + ": " + line);
  return std::stod(line.substr(at + name.size() + 2));
}

}  // namespace

BenchServer::BenchServer(const std::string& binary, const std::string& catalogs, const std::string& web_root,
                         const std::string& log_file)
    : port_(FreePort()),
      process_({binary, "--port", std::to_string(port_), "--bind", "127.0.0.1", "--catalogs", catalogs, "--web-root",
                web_root},
               log_file) {
  httplib::Client client("127.0.0.1", port_);
  for (int attempt = 0; attempt < 600; ++attempt) {
    if (auto answer = client.Get("/?id=4")) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  throw std::runtime_error("orvex-server did not answer; see " + log_file);
}

std::string BenchServer::ViewPage(const std::string& definition) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(600, 0);
  auto answer = client.Post("/?id=1", Body(definition), "application/x-www-form-urlencoded");
  if (!answer || answer->status != 200) throw std::runtime_error("the view page failed");
  // A view that cannot be built shows one message row in place of its table.
  const std::string message_row = "\n                <tr><td class='heading0BorderAll'>";
  if (size_t at = answer->body.find(message_row); at != std::string::npos) {
    throw std::runtime_error("the view page shows a message: " +
                             answer->body.substr(at + message_row.size(), answer->body.find('<', at + message_row.size()) -
                                                                              at - message_row.size()));
  }
  return answer->body;
}

LoadResult BenchServer::Load(const std::string& definition, int clients, double seconds,
                             const std::string& work_dir) const {
  const std::string script = work_dir + "/view_page.lua";
  std::ofstream(script) << "wrk.method = \"POST\"\n"
                           "wrk.headers[\"Content-Type\"] = \"application/x-www-form-urlencoded\"\n"
                           "wrk.body = \"" << Body(definition) << "\"\n"
                           "done = function(summary, latency, requests)\n"
                           "  local e = summary.errors\n"
                           "  io.write(string.format(\"ORVEX p50=%.3f p95=%.3f requests=%d seconds=%.3f errors=%d\\n\",\n"
                           "    latency:percentile(50) / 1000, latency:percentile(95) / 1000, summary.requests,\n"
                           "    summary.duration / 1e6, e.connect + e.read + e.write + e.status + e.timeout))\n"
                           "end\n";
  const int threads = clients < 2 ? 1 : 2;
  std::string output = RunToEnd({"/usr/bin/wrk", "-t" + std::to_string(threads), "-c" + std::to_string(clients),
                                 "-d" + std::to_string(static_cast<int>(seconds)) + "s", "--timeout", "30s", "-s",
                                 script, "http://127.0.0.1:" + std::to_string(port_) + "/?id=1"});
  size_t at = output.find("ORVEX ");
  if (at == std::string::npos) throw std::runtime_error("wrk gave no report:\n" + output);
  std::string line = " " + output.substr(at + 6, output.find('\n', at) - at - 6);
  LoadResult result;
  result.p50_ms = Field(line, "p50");
  result.p95_ms = Field(line, "p95");
  result.requests = static_cast<int64_t>(Field(line, "requests"));
  result.errors = static_cast<int64_t>(Field(line, "errors"));
  double elapsed = Field(line, "seconds");
  result.requests_per_second = elapsed > 0 ? static_cast<double>(result.requests) / elapsed : 0;
  return result;
}

}  // namespace orvex::bench
