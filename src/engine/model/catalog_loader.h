#pragma once
#include <filesystem>
#include <memory>

#include "engine/model/catalog.h"

namespace orvex::engine {

// Opens a catalog folder: reads schema.xml, opens data.duckdb read-only, and
// builds every cube it can. A cube that fails is listed in failed_cubes()
// with the reason; the others load.
class CatalogLoader {
 public:
  // Throws ComError when the folder has no readable schema.xml, the schema is
  // not well-formed, or the data file is missing or not a database.
  static std::shared_ptr<const Catalog> Load(const std::filesystem::path& folder);
};

}  // namespace orvex::engine
