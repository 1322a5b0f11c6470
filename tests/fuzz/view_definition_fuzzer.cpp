// The view-definition reader of the object model: any text handed to
// DataSource.CreateCubeView either builds a view (which then writes itself
// back and computes its first cells) or fails with ComError. The definition
// names its own data source; the engine serves "Tiny" (tests/catalogs/Tiny)
// under a small cell limit so that every run is quick.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/cell.h"
#include "olap/cube_view.h"
#include "olap/data_source.h"
#include "olap/globals.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"

namespace {

orvex::olap::DataSource& TinyDataSource() {
  static const std::shared_ptr<orvex::olap::DataSource> data_source = [] {
    auto sources = std::make_shared<orvex::engine::DataSources>();
    sources->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    orvex::engine::EngineOptions options;
    options.max_cells = 2000;
    orvex::engine::RegisterEmbeddedProvider(std::move(sources), options);
    auto created = std::make_shared<orvex::olap::DataSource>();
    created->SetActiveConnection(std::string_view(
        orvex::olap::Globals::Instance().BuildConnectionString("Tiny", orvex::Variant(), "MSOLAP")));
    return created;
  }();
  return *data_source;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  (void)TinyDataSource();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view definition(reinterpret_cast<const char*>(data), size);
  try {
    auto view = TinyDataSource().CreateCubeView(definition);
    if (!view) return 0;
    (void)view->ToXML(0);
    (void)view->ToXML(1);
    auto axes = view->Axes();
    int64_t cells = 1;
    for (int32_t axis = 0; axis < axes->Count() && cells < 64; ++axis) {
      cells *= std::max(1, axes->Item(axis)->PositionCount());
    }
    for (int32_t ordinal = 0; ordinal < std::min<int64_t>(cells, 64); ++ordinal) {
      (void)view->GetCell(ordinal)->FormattedValue();
    }
  } catch (const orvex::ComError&) {
  }
  return 0;
}
