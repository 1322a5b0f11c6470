#pragma once
#include <memory>
#include <string>

#include "engine/model/hierarchy.h"
#include "engine/provider/lazy_properties.h"
#include "provider/metadata.h"

namespace orvex::engine {

// A hierarchy of the engine as the provider API hands it out. `owner` keeps
// the catalog alive.
class EngineHierarchy final : public provider::Hierarchy {
 public:
  EngineHierarchy(std::shared_ptr<const void> owner, const engine::Hierarchy& hierarchy);

  std::string Name() const override { return hierarchy_.name(); }
  std::string UniqueName() const override { return hierarchy_.unique_name(); }
  std::string Caption() const override { return hierarchy_.caption(); }
  std::string Description() const override { return ""; }
  // DEFAULT_MEMBER (the default member's unique name; the cube's default
  // measure for the measures), HIERARCHY_UNIQUE_NAME and, with an all level,
  // ALL_MEMBER. Reads the members on first use; throws when the store fails.
  const provider::Properties& GetProperties() const override { return properties_.Get(); }
  // Every level, at its depth (a level the schema hides too: see its
  // LEVEL_IS_VISIBLE); by name or unique name, without regard to case.
  std::shared_ptr<provider::Levels> GetLevels() const override;

 private:
  std::shared_ptr<const void> owner_;
  const engine::Hierarchy& hierarchy_;
  LazyProperties properties_;
};

}  // namespace orvex::engine
