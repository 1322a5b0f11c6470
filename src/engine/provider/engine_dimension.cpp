#include "engine/provider/engine_dimension.h"

#include "engine/provider/engine_hierarchy.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineDimension::EngineDimension(std::shared_ptr<const void> owner, const engine::Dimension& dimension)
    : owner_(std::move(owner)), dimension_(dimension) {
  properties_.Add("DIMENSION_UNIQUE_NAME", Variant(dimension.unique_name()));
}

std::shared_ptr<provider::Hierarchies> EngineDimension::GetHierarchies() const {
  return WrapVisible<provider::Hierarchy, EngineHierarchy>(owner_, dimension_.hierarchies());
}

}  // namespace orvex::engine
