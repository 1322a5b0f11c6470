#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/cube.h"

namespace orvex::engine {

// A catalog: a folder with schema.xml and its data store. Cubes that failed to
// load are left out of cubes() and remembered with their error, so that one
// broken cube does not hide the others. Immutable once loaded; shared.
class Catalog {
 public:
  const std::string& name() const;
  // The cubes that loaded, in schema order.
  const std::vector<std::shared_ptr<const Cube>>& cubes() const;
  // Without regard to case. Throws ComError naming the cube when it is unknown
  // or failed to load (with the reason it failed).
  const Cube& FindCube(std::string_view name) const;
  // Cube name → why it could not be loaded.
  const std::map<std::string, std::string>& failed_cubes() const;
  // Throws ComError with the reason when the catalog's store is a server
  // that cannot be reached now (down, or refusing the login).
  void CheckStore() const;

  ~Catalog();
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

 private:
  friend class CatalogLoader;
  friend class RoleCatalog;
  Catalog();
  struct State;  // defined by the data layer
  std::unique_ptr<State> state_;
};

}  // namespace orvex::engine
