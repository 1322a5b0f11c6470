// The evaluator over the Tiny catalog (tests/catalogs/Tiny): statements built
// from the input run under a small cell limit, so that every run is quick; a
// statement either gives cells, formatted, or throws ComError. The first byte
// picks how the rest is used: a whole statement, a set on the columns, or the
// formula of a calculated measure shown against the years and the products.
// A whole statement is also run as a drill-through.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"

namespace {

orvex::engine::EngineSession& Session() {
  static orvex::engine::EngineSession session = [] {
    auto sources = std::make_shared<orvex::engine::DataSources>();
    sources->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    orvex::engine::EngineOptions options;
    options.max_cells = 2000;
    // Every input evaluated, not answered from an earlier one's kept result.
    options.cache_results = false;
    return orvex::engine::EngineSession(std::move(sources), "Tiny", options);
  }();
  return session;
}

std::string Statement(uint8_t mode, std::string_view text) {
  switch (mode % 3) {
    case 0:
      return std::string(text);
    case 1:
      return "SELECT {" + std::string(text) + "} ON 0 FROM [Sales] WHERE [Measures].[Unit Sales]";
    default:
      return "WITH MEMBER [Measures].[Fuzzed] AS '" + std::string(text) +
             "' SELECT {[Measures].[Fuzzed], [Measures].[Unit Sales]} ON 0, "
             "CrossJoin([Time].[Year].Members, [Product].[Product Family].Members) ON 1 FROM [Sales]";
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)Session();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::string statement = Statement(data[0], std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  try {
    auto cells = Session().Execute("Tiny", statement);
    (void)orvex::engine::CellsetToTable(*cells, true);
  } catch (const orvex::ComError&) {
  }
  if (data[0] % 3 == 0) {
    // A whole statement may be a DRILLTHROUGH, which answers with rows.
    try {
      (void)orvex::engine::TabularToTable(Session().Drillthrough("Tiny", statement));
    } catch (const orvex::ComError&) {
    }
  }
  return 0;
}
