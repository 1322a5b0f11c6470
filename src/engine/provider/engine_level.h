#pragma once
#include <memory>
#include <string>

#include "engine/model/level.h"
#include "engine/provider/lazy_properties.h"
#include "provider/metadata.h"

namespace orvex::engine {

// A level of the engine as the provider API hands it out. `owner` keeps the
// catalog alive.
class EngineLevel final : public provider::Level {
 public:
  EngineLevel(std::shared_ptr<const void> owner, const engine::Level& level);

  std::string Name() const override { return level_.name(); }
  std::string UniqueName() const override { return level_.unique_name(); }
  std::string Caption() const override { return level_.caption(); }
  std::string Description() const override { return ""; }
  int Depth() const override { return level_.depth(); }
  // LEVEL_NUMBER, LEVEL_UNIQUE_NAME, HIERARCHY_UNIQUE_NAME, LEVEL_IS_VISIBLE, and
  // LEVEL_CARDINALITY once the hierarchy's members have been read.
  const provider::Properties& GetProperties() const override { return properties_.Get(); }
  // The level's members in hierarchy order, reading them from the store on
  // first use; for the measures, the visible measures and calculated members.
  // Item by unique name takes constant time; by name it scans.
  std::shared_ptr<provider::Members> GetMembers() const override;

 private:
  std::shared_ptr<const void> owner_;
  const engine::Level& level_;
  LazyProperties properties_;
};

}  // namespace orvex::engine
