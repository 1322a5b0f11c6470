#pragma once
// Catalog's private state; included only by the data layer's .cpp files.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/catalog.h"

namespace orvex::engine {

class Store;
namespace schema {
struct SchemaDef;  // held for the catalog layer, which reads its roles
}

struct Catalog::State {
  std::string name;
  std::vector<std::shared_ptr<const Cube>> cubes;
  std::map<std::string, std::string> failed_cubes;
  std::shared_ptr<const Store> store;
  // The schema the cubes were built from (its cubes and roles); null in a
  // catalog restricted to a role, which serves no further roles.
  std::shared_ptr<const schema::SchemaDef> schema;
  mutable std::mutex roles_mutex;
  // Lower-case role name -> the catalog as that role sees it.
  mutable std::map<std::string, std::shared_ptr<const Catalog>> by_role;  // guarded by roles_mutex
};

}  // namespace orvex::engine
