#include "engine/provider/engine_cube_def.h"

#include "engine/provider/engine_dimension.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineCubeDef::EngineCubeDef(std::shared_ptr<const void> owner, const engine::Cube& cube)
    : owner_(std::move(owner)), cube_(cube) {
  properties_.Add("CUBE_NAME", Variant(cube.name()));
  properties_.Add("DESCRIPTION", Variant(cube.description()));
}

std::shared_ptr<provider::Dimensions> EngineCubeDef::GetDimensions() const {
  auto owner = owner_;
  const engine::Cube* cube = &cube_;
  return std::make_shared<LazyCollection<provider::Dimension>>(
      static_cast<int>(cube->dimensions().size()),
      [owner, cube](int index) {
        return std::make_shared<EngineDimension>(owner, *cube->dimensions()[static_cast<size_t>(index)]);
      },
      [owner, cube](std::string_view name) {
        return MakeNamed<provider::Dimension>(cube->dimensions(), name, [&](const engine::Dimension& dimension) {
          return std::make_shared<EngineDimension>(owner, dimension);
        });
      });
}

}  // namespace orvex::engine
