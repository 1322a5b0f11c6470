// orvex_xmla_bench CATALOGS-DIR [RUNS]
//
// In one warm process, over the sample catalog "Sample" below CATALOGS-DIR:
// the time of an XMLA Execute of a statement of about 10,000 cells (the
// request parsed, the statement run, the whole SOAP answer written) next to
// the same statement run and written as orvex-mdx's JSON. Prints the medians
// and their ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/embedded_provider.h"
#include "provider/connection.h"
#include "xmla/xmla_service.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kStatement =
    "SELECT CrossJoin([Time].[Month].Members, {[Measures].[Unit Sales], [Measures].[Store Sales]}) ON COLUMNS, "
    "Head([Product].[Product Name].Members, 208) ON ROWS FROM [Sales]";

template <class F>
double MedianMilliseconds(int runs, F&& run) {
  std::vector<double> times;
  for (int index = 0; index < runs; ++index) {
    auto start = Clock::now();
    run();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvex;
  if (argc < 2) {
    std::fprintf(stderr, "usage: orvex_xmla_bench CATALOGS-DIR [RUNS]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  auto sources = std::make_shared<engine::DataSources>();
  sources->Add("bench", argv[1]);
  engine::RegisterEmbeddedProvider(sources);
  try {
    provider::Connection connection;
    connection.Open("Provider=Orvex;Data Source=bench;SOURCE_DSN=Sample");
    size_t json_bytes = 0;
    size_t cells = 0;
    auto json = [&] {
      auto data = connection.GetSession().Execute("Sample", kStatement);
      json_bytes = engine::CellsetToJson(*data).size();
      cells = 1;
      auto axes = data->GetAxes();
      for (int axis = 0; axis < axes->Count(); ++axis) {
        cells *= static_cast<size_t>(axes->Item(axis)->GetPositions()->Count());
      }
    };

    xmla::XmlaOptions options;
    options.data_source_name = "bench";
    xmla::XmlaService service(options);
    const std::string request =
        "<Envelope><Body><Execute xmlns=\"urn:schemas-microsoft-com:xml-analysis\"><Command><Statement>" +
        std::string(kStatement) +
        "</Statement></Command><Properties><PropertyList><Catalog>Sample</Catalog></PropertyList></Properties>"
        "</Execute></Body></Envelope>";
    size_t soap_bytes = 0;
    auto soap = [&] {
      auto reply = service.Handle(request);
      if (reply->Status() != 200) throw std::runtime_error(xmla::XmlaService::WriteToString(*reply));
      soap_bytes = 0;
      reply->Write([&](std::string_view piece) {
        soap_bytes += piece.size();
        return true;
      });
    };

    json();  // warm the catalog and the cell cache for both
    soap();
    double json_ms = MedianMilliseconds(runs, json);
    double soap_ms = MedianMilliseconds(runs, soap);
    std::printf("xmla execute, %zu cells, warm median of %d runs\n", cells, runs);
    std::printf("  orvex-mdx json  %8.1f ms  %9zu bytes\n", json_ms, json_bytes);
    std::printf("  XMLA Execute    %8.1f ms  %9zu bytes\n", soap_ms, soap_bytes);
    std::printf("  ratio           %8.2f (at most 1.3 wanted)\n", soap_ms / json_ms);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvex_xmla_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
