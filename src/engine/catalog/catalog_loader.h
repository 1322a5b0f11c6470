#pragma once
#include <filesystem>
#include <memory>

#include "engine/model/catalog.h"

namespace orvex::engine {

// Opens a catalog folder: reads schema.xml, opens its store (data.duckdb
// read-only, or the PostgreSQL server its store.conf names), and builds
// every cube it can. A cube that fails is listed in failed_cubes()
// with the reason; the others load.
class CatalogLoader {
 public:
  // Throws ComError when the folder has no readable schema.xml, the schema is
  // not well-formed, the data file is missing or not a database, or
  // store.conf is wrong. A PostgreSQL server that is down fails later, on
  // the first statement, so that the catalog recovers with the server.
  static std::shared_ptr<const Catalog> Load(const std::filesystem::path& folder);
};

}  // namespace orvex::engine
