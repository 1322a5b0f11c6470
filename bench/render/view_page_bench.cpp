// How long the view body takes to write the page of a view of 1,000 rows by
// 10 columns on the sample catalog (scale 1), once the catalog and its cells
// are warm: the whole request through the front end, from the posted
// definition to the last line of the page.
//   render_view_page_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "html/general.h"
#include "frontend/orvex.h"
#include "platform/asp/application.h"
#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/server.h"
#include "tools/sample/sample_generator.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

// The first ten months on the columns, the first 1,000 products on the rows.
constexpr const char* kView =
    "<cubeView><dataSource provider=\"MSOLAP\">Bench</dataSource><catalog>Sample</catalog><cube>Sales</cube>"
    "<measure>Unit Sales</measure><ranges><range><floor>100</floor><ceiling></ceiling><colour>255</colour></range>"
    "</ranges><axes><axis><set><mdx>Head([Time].[Month].Members, 10)</mdx></set></axis>"
    "<axis><set><mdx>Head([Product].[Product Name].Members, 1000)</mdx></set></axis></axes></cubeView>";

// Writes the view body for the posted view once; returns the page.
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

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::filesystem::path root = std::filesystem::temp_directory_path() / "orvex-render-bench";
  const std::filesystem::path catalog = root / "Sample";
  std::filesystem::create_directories(catalog);
  std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "data/catalogs/Sample/schema.xml",
                             catalog / "schema.xml", std::filesystem::copy_options::overwrite_existing);
  if (tools::SampleGenerator::RecordedScale(catalog) != 1.0) tools::SampleGenerator::Generate(catalog, 1);
  auto data_sources = std::make_shared<engine::DataSources>();
  data_sources->Add("Bench", root);
  engine::RegisterEmbeddedProvider(data_sources);

  const std::string form = "xml=" + frontend::URLEncode(kView);
  const auto cold_start = Clock::now();
  const std::string page = WriteViewPage(form);
  const double cold = std::chrono::duration<double, std::milli>(Clock::now() - cold_start).count();
  const size_t rows = std::count(page.begin(), page.end(), '\n');
  const size_t cells = [&] {
    size_t count = 0;
    for (size_t at = page.find("class='dataCell'"); at != std::string::npos;
         at = page.find("class='dataCell'", at + 1)) {
      ++count;
    }
    return count;
  }();
  if (cells < 10000 || page.find("The following error has occurred") != std::string::npos) {
    std::fprintf(stderr, "the view did not come out as a 1,000 by 10 grid (%zu cells)\n", cells);
    return 1;
  }

  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    WriteViewPage(form);
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("view page, 1,000 rows by 10 columns on the sample catalog: %zu cells, %zu lines, %.1f MB\n", cells, rows,
              page.size() / 1e6);
  std::printf("cold %.1f ms; warm over %d runs: min %.1f ms, median %.1f ms, max %.1f ms (target < 150 ms)\n", cold,
              runs, times.front(), times[times.size() / 2], times.back());
  return 0;
}
