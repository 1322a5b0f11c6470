#pragma once
#include <filesystem>
#include <memory>
#include <mutex>

#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

// The embedded engine as the provider of every connection in a test process,
// serving the Tiny catalog and the Odd catalog (tests/catalogs/Odd, whose
// names and captions hold markup and script). Link orvex_engine and
// orvex_tiny_catalog.
namespace orvex::testing {

// The Odd catalog's folder name, which holds markup, quotes and a backslash too.
inline constexpr const char* kOddCatalogName = "Odd \"<i>\" \\ '";

// A data-source root holding only the Odd catalog, written once per process.
inline std::filesystem::path OddCatalogsRoot() {
  static TempDir root;
  static std::once_flag built;
  std::call_once(built, [] { WriteTestCatalog(root.path(), "Odd", kOddCatalogName); });
  return root.path();
}

// Registers the engine once per process: "Tiny" and the local names serve
// TinyCatalogsRoot(), "Odd" serves OddCatalogsRoot().
inline void ServeTestCatalogs() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto data_sources = std::make_shared<engine::DataSources>();
    data_sources->AddLocalNames(TinyCatalogsRoot());
    data_sources->Add("Tiny", TinyCatalogsRoot());
    data_sources->Add("Odd", OddCatalogsRoot());
    engine::RegisterEmbeddedProvider(std::move(data_sources));
  });
}

}  // namespace orvex::testing
