#include "engine/provider/engine_cube_def.h"

#include "engine/common/bracket.h"
#include "engine/provider/engine_dimension.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineCubeDef::EngineCubeDef(std::shared_ptr<const void> owner, const engine::Cube& cube)
    : owner_(std::move(owner)), cube_(cube) {
  properties_.Add("CUBE_NAME", Variant(cube.name()));
  properties_.Add("DESCRIPTION", Variant(cube.description()));
}

std::shared_ptr<provider::Dimensions> EngineCubeDef::GetDimensions() const {
  return WrapVisible<provider::Dimension, EngineDimension>(owner_, cube_.dimensions());
}

std::vector<provider::NamedSet> EngineCubeDef::GetNamedSets() const {
  std::vector<provider::NamedSet> sets;
  for (const NamedSet& set : cube_.named_sets()) {
    sets.push_back({set.name, Bracket(set.name), set.caption.empty() ? set.name : set.caption, set.formula});
  }
  return sets;
}

}  // namespace orvex::engine
