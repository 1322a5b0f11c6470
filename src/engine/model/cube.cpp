#include "engine/model/cube.h"

#include "engine/model/cube_state.h"

namespace orvex::engine {

Cube::Cube() : state_(std::make_unique<State>()) {}
Cube::~Cube() = default;

const std::string& Cube::name() const { return state_->name; }
const std::string& Cube::description() const { return state_->description; }
const std::vector<const Dimension*>& Cube::dimensions() const { return state_->dimensions; }
const std::vector<const Hierarchy*>& Cube::hierarchies() const { return state_->hierarchies; }
const Hierarchy& Cube::measures_hierarchy() const { return *state_->measures_hierarchy; }
const std::vector<const Measure*>& Cube::measures() const { return state_->measures; }
const std::vector<const CalculatedMemberDef*>& Cube::calculated_members() const {
  return state_->calculated_members;
}
const std::vector<NamedSet>& Cube::named_sets() const { return state_->named_sets; }
const Member* Cube::default_measure() const { return state_->default_measure; }
CellReader& Cube::cells() const { return state_->base ? state_->base->cells() : *state_->cells; }

const Dimension* Cube::FindDimension(std::string_view name) const {
  auto found = state_->dimensions_by_name.find(name);
  return found == state_->dimensions_by_name.end() ? nullptr : found->second;
}

const Hierarchy* Cube::FindHierarchy(std::string_view unique_name) const {
  auto found = state_->hierarchies_by_name.find(unique_name);
  return found == state_->hierarchies_by_name.end() ? nullptr : found->second;
}

}  // namespace orvex::engine
