#include "engine/provider/engine_dimension.h"

#include "engine/provider/engine_hierarchy.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineDimension::EngineDimension(std::shared_ptr<const void> owner, const engine::Dimension& dimension)
    : owner_(std::move(owner)), dimension_(dimension) {
  properties_.Add("DIMENSION_UNIQUE_NAME", Variant(dimension.unique_name()));
}

std::shared_ptr<provider::Hierarchies> EngineDimension::GetHierarchies() const {
  auto owner = owner_;
  const engine::Dimension* dimension = &dimension_;
  return std::make_shared<LazyCollection<provider::Hierarchy>>(
      static_cast<int>(dimension->hierarchies().size()),
      [owner, dimension](int index) {
        return std::make_shared<EngineHierarchy>(owner, *dimension->hierarchies()[static_cast<size_t>(index)]);
      },
      [owner, dimension](std::string_view name) {
        return MakeNamed<provider::Hierarchy>(dimension->hierarchies(), name, [&](const engine::Hierarchy& hierarchy) {
          return std::make_shared<EngineHierarchy>(owner, hierarchy);
        });
      });
}

}  // namespace orvex::engine
