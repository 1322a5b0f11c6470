// orvex_xmla_page_bench CATALOGS-DIR [RUNS]
//
// The explorer's view page over the sample catalog "Sample" below
// CATALOGS-DIR, written once through the embedded engine and once through the
// XMLA client against an XMLA service on loopback in the same process (every
// page opens its own connection and server session, as a page request does).
// Prints the warm medians and their ratio.
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "html/general.h"
#include "frontend/orvex.h"
#include "platform/asp/application.h"
#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/server.h"
#include "platform/text.h"
#include "xmla/xmla_service.h"
#include "xmla_client/xmla_provider.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

// Twelve months on the columns, a hundred products on the rows: a page a person reads.
std::string View(const std::string& data_source) {
  return "<cubeView><dataSource provider=\"MSOLAP\">" + data_source +
         "</dataSource><catalog>Sample</catalog><cube>Sales</cube><measure>Unit Sales</measure>"
         "<ranges><range><floor>100</floor><ceiling></ceiling><colour>255</colour></range></ranges><axes>"
         "<axis><set><mdx>Head([Time].[Month].Members, 12)</mdx></set></axis>"
         "<axis><set><mdx>Head([Product].[Product Name].Members, 100)</mdx></set></axis></axes></cubeView>";
}

std::string WriteViewPage(const std::string& form) {
  auto request = std::make_shared<asp::MemoryRequest>(asp::MemoryRequest::Get("/?id=1"));
  request->SetForm(form);
  auto response = std::make_shared<asp::MemoryResponse>();
  auto server = std::make_shared<asp::FolderServer>(std::filesystem::path(ORVEX_SOURCE_DIR) / "web");
  auto application = std::make_shared<asp::Application>();
  frontend::Orvex orvex;
  orvex.WriteInterface(Variant(std::shared_ptr<ComObject>(request)), Variant(std::shared_ptr<ComObject>(response)),
                       Variant(std::shared_ptr<ComObject>(server)), Variant(std::shared_ptr<ComObject>(application)));
  return response->Body();
}

size_t DataCells(const std::string& page) {
  size_t count = 0;
  for (size_t at = page.find("class='dataCell'"); at != std::string::npos; at = page.find("class='dataCell'", at + 1)) {
    ++count;
  }
  return count;
}

double MedianMilliseconds(int runs, const std::string& form) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    auto start = Clock::now();
    (void)WriteViewPage(form);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: orvex_xmla_page_bench CATALOGS-DIR [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  auto sources = std::make_shared<engine::DataSources>();
  sources->Add("Bench", argv[1]);
  engine::RegisterEmbeddedProvider(sources);

  xmla::XmlaOptions options;
  options.data_source_name = "Bench";
  xmla::XmlaService service(options);
  httplib::Server http;
  http.set_tcp_nodelay(true);
  http.Post("/xmla", [&](const httplib::Request& request, httplib::Response& response) {
    auto reply = service.Handle(request.body);
    response.status = reply->Status();
    response.set_content(xmla::XmlaService::WriteToString(*reply), "text/xml; charset=utf-8");
  });
  const int port = http.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { http.listen_after_bind(); });

  auto remote = std::make_shared<xmla_client::XmlaSources>();
  remote->Add("Remote", xmla_client::ParseXmlaSourceDefinition("xmla:http://127.0.0.1:" + std::to_string(port) + "/xmla"));
  xmla_client::RegisterXmlaSources(remote, {"MSOLAP", engine::kEmbeddedProviderName});

  const std::string embedded_form = "xml=" + frontend::URLEncode(View("Bench"));
  const std::string xmla_form = "xml=" + frontend::URLEncode(View("Remote"));
  const std::string embedded_page = WriteViewPage(embedded_form);
  const std::string xmla_page = WriteViewPage(xmla_form);
  int status = 0;
  // The pages differ only in the data source they name.
  if (DataCells(embedded_page) < 1000 || embedded_page != ReplaceAll(xmla_page, "Remote", "Bench")) {
    std::fprintf(stderr, "the two pages differ or hold no grid (%zu and %zu cells)\n", DataCells(embedded_page),
                 DataCells(xmla_page));
    status = 1;
  } else {
    double embedded = MedianMilliseconds(runs, embedded_form);
    double over_xmla = MedianMilliseconds(runs, xmla_form);
    std::printf("view page, 100 rows by 12 columns (%zu cells): embedded %.1f ms, over the XMLA client %.1f ms "
                "(median of %d); ratio %.2f (target at most 2)\n",
                DataCells(embedded_page), embedded, over_xmla, runs, over_xmla / embedded);
  }
  http.stop();
  serving.join();
  return status;
}
