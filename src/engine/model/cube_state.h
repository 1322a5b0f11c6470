#pragma once
// Cube's private state; included only by the data layer's .cpp files.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/model/cube.h"
#include "platform/text.h"

namespace orvex::engine {

class CellReader;
class Store;

struct Cube::State {
  std::string name;
  std::string description;
  std::vector<std::unique_ptr<Dimension>> owned_dimensions;
  std::vector<std::unique_ptr<Hierarchy>> owned_hierarchies;  // the measures' first
  std::vector<std::unique_ptr<Measure>> owned_measures;
  std::vector<std::unique_ptr<CalculatedMemberDef>> owned_calculated_members;

  std::vector<const Dimension*> dimensions;
  std::vector<const Hierarchy*> hierarchies;
  const Hierarchy* measures_hierarchy = nullptr;
  std::vector<const Measure*> measures;
  std::vector<const CalculatedMemberDef*> calculated_members;
  const Member* default_measure = nullptr;
  std::vector<NamedSet> named_sets;
  std::unordered_map<std::string, const Dimension*, CaseInsensitiveHash, CaseInsensitiveEqual> dimensions_by_name;
  std::unordered_map<std::string, const Hierarchy*, CaseInsensitiveHash, CaseInsensitiveEqual> hierarchies_by_name;

  std::shared_ptr<const Store> store;  // kept open as long as the cube lives
  // Made by the catalog layer, above this one: shared_ptr deletes it through
  // the deleter it was made with, so this layer needs only its name.
  std::shared_ptr<CellReader> cells;
  // A virtual cube's base cubes, whose readers `cells` borrows.
  std::vector<std::shared_ptr<const Cube>> bases;
  // Under a role: the unrestricted cube, whose members this one's stand for
  // and whose reader (and cache of stored values) it reads through.
  std::shared_ptr<const Cube> base;
};

}  // namespace orvex::engine
