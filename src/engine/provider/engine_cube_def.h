#pragma once
#include <memory>
#include <string>

#include "engine/model/cube.h"
#include "provider/metadata.h"

namespace orvex::engine {

// A cube of the engine as the provider API hands it out. `owner` keeps the
// catalog alive.
class EngineCubeDef final : public provider::CubeDef {
 public:
  EngineCubeDef(std::shared_ptr<const void> owner, const engine::Cube& cube);

  std::string Name() const override { return cube_.name(); }
  std::string Description() const override { return cube_.description(); }
  // CUBE_NAME and DESCRIPTION.
  const provider::Properties& GetProperties() const override { return properties_; }
  // The measures first (the dimension "Measures"), then the schema's visible
  // dimensions; by name or unique name (hidden ones too), without regard to case.
  std::shared_ptr<provider::Dimensions> GetDimensions() const override;
  // The schema's named sets for the cube, the cube's own first.
  std::vector<provider::NamedSet> GetNamedSets() const override;

 private:
  std::shared_ptr<const void> owner_;
  const engine::Cube& cube_;
  provider::Properties properties_;
};

}  // namespace orvex::engine
