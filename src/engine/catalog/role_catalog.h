#pragma once
#include <memory>
#include <string_view>

#include "engine/model/catalog.h"

namespace orvex::engine {

// Catalogs as the roles of their schema see them.
class RoleCatalog {
 public:
  // The catalog as a connection under `role` sees it: only the cubes,
  // dimensions and members the schema's role of that name grants (names
  // without regard to case). An empty role gives `catalog` itself. Built once
  // per role and kept; thread-safe. Throws ComError for a role the schema does
  // not define, or one whose grants are broken, naming it.
  static std::shared_ptr<const Catalog> For(std::shared_ptr<const Catalog> catalog, std::string_view role);
};

}  // namespace orvex::engine
