// The HTTP request path without sockets: the raw bytes of one connection go
// through the HTTP library's request parsing, then to the hosting page (the
// Request object's query string, form, cookies and server variables, and the
// page that reads them) or to the static files. Nothing may crash, and no
// path may resolve to a file outside the web root.
#include <httplib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "host/engine_registration.h"
#include "host/hosting_page.h"
#include "host/orvex_server.h"
#include "host/server_settings.h"
#include "host/static_files.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace {

// One connection's bytes in memory; what the server writes back is dropped.
class MemoryStream : public httplib::Stream {
 public:
  MemoryStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* buffer, size_t size) override {
    size_t count = std::min(size, size_ - offset_);
    std::memcpy(buffer, data_ + offset_, count);
    offset_ += count;
    return static_cast<ssize_t>(count);
  }
  ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 50000; }
  void get_local_ip_and_port(std::string& ip, int& port) const override { ip = "127.0.0.1", port = 8080; }
  socket_t socket() const override { return INVALID_SOCKET; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

struct Host {
  orvex::testing::TempDir views;
  orvex::host::ServerSettings settings;
  std::unique_ptr<orvex::host::StaticFiles> files;
  std::unique_ptr<orvex::host::HostingPage> page;
  std::filesystem::path web_root;

  Host() {
    settings.web_root = std::filesystem::path(ORVEX_SOURCE_DIR) / "web";
    settings.page = "/explorer";
    settings.catalogs = orvex::testing::TinyCatalogsRoot();
    settings.default_data_source = "localhost";
    settings.max_cells = 2000;
    settings.views_dir = views.path();
    orvex::host::RegisterEngine(settings);
    files = std::make_unique<orvex::host::StaticFiles>(settings.web_root, orvex::host::SitePrefixOf(settings.page));
    page = std::make_unique<orvex::host::HostingPage>(settings);
    web_root = std::filesystem::weakly_canonical(settings.web_root);
  }
};

Host& TheHost() {
  static Host host;
  return host;
}

// The library's server with its request processing opened to a stream of our own.
class FuzzedServer : public httplib::Server {
 public:
  FuzzedServer() {
    auto route = [](const httplib::Request& request, httplib::Response& response) {
      Host& host = TheHost();
      if (request.path == host.settings.page) {
        host.page->Serve(request, response);
      } else if (auto file = host.files->Resolve(request.path)) {
        std::filesystem::path resolved = std::filesystem::weakly_canonical(*file);
        auto [root_end, unused] = std::mismatch(host.web_root.begin(), host.web_root.end(), resolved.begin(),
                                                resolved.end());
        if (root_end != host.web_root.end()) {
          std::fprintf(stderr, "%s resolved outside the web root: %s\n", request.path.c_str(), resolved.c_str());
          std::abort();
        }
      }
    };
    Get(".*", route);
    Post(".*", route);
    set_payload_max_length(1 << 20);
    // The page shows its own errors; an exception that reaches the host is a
    // fault of the host or a hosting object, which the server can only answer with 500.
    set_exception_handler([](const httplib::Request& request, httplib::Response&, std::exception_ptr error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& caught) {
        std::fprintf(stderr, "an exception escaped the page for %s: %s\n", request.target.c_str(), caught.what());
      }
      std::abort();
    });
  }
  void Process(MemoryStream& stream) {
    bool closed = false;
    process_request(stream, true, closed, nullptr);
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)TheHost();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzedServer server;
  MemoryStream stream(data, size);
  server.Process(stream);
  return 0;
}
