#include "engine/provider/engine_hierarchy.h"

#include "engine/provider/engine_level.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineHierarchy::EngineHierarchy(std::shared_ptr<const void> owner, const engine::Hierarchy& hierarchy)
    : owner_(std::move(owner)), hierarchy_(hierarchy), properties_([this] {
        provider::Properties properties;
        const Member* default_member = hierarchy_.default_member();
        properties.Add("DEFAULT_MEMBER", Variant(default_member ? default_member->unique_name : std::string()));
        properties.Add("HIERARCHY_UNIQUE_NAME", Variant(hierarchy_.unique_name()));
        if (const Member* all = hierarchy_.all_member()) properties.Add("ALL_MEMBER", Variant(all->unique_name));
        return properties;
      }) {}

std::shared_ptr<provider::Levels> EngineHierarchy::GetLevels() const {
  return WrapEach<provider::Level, EngineLevel>(owner_, hierarchy_.levels());
}

}  // namespace orvex::engine
