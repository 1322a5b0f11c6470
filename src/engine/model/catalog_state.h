#pragma once
// Catalog's private state; included only by the data layer's .cpp files.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/model/catalog.h"

namespace orvex::engine {

class Store;

struct Catalog::State {
  std::string name;
  std::vector<std::shared_ptr<const Cube>> cubes;
  std::map<std::string, std::string> failed_cubes;
  std::shared_ptr<const Store> store;
};

}  // namespace orvex::engine
