#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/embedded_provider.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"

// Statements run through the embedded provider over the Tiny catalog.
namespace orvex::engine::testing {

// Data sources knowing only "Tiny" (and the local names) for the Tiny catalog.
inline std::shared_ptr<DataSources> TinySources() {
  static std::shared_ptr<DataSources> sources = [] {
    auto created = std::make_shared<DataSources>();
    created->AddLocalNames(orvex::testing::TinyCatalogsRoot());
    created->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    return created;
  }();
  return sources;
}

inline std::shared_ptr<provider::CellsetData> RunTiny(std::string_view mdx, EngineOptions options = {}) {
  EngineSession session(TinySources(), "Tiny", options);
  return session.Execute("Tiny", mdx);
}

// The result as CellsetToTable writes it, without the filter axis.
inline std::string TinyTable(std::string_view mdx) { return CellsetToTable(*RunTiny(mdx), false); }

// The description of the error the statement fails with; "no error" when it runs.
inline std::string TinyError(std::string_view mdx) {
  try {
    (void)RunTiny(mdx);
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

}  // namespace orvex::engine::testing
