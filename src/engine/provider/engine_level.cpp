#include "engine/provider/engine_level.h"

#include "engine/model/hierarchy.h"
#include "engine/model/measure.h"
#include "engine/provider/engine_member.h"
#include "engine/provider/lazy_collection.h"
#include "platform/text.h"

namespace orvex::engine {

EngineLevel::EngineLevel(std::shared_ptr<const void> owner, const engine::Level& level)
    : owner_(std::move(owner)), level_(level), properties_([this] {
        provider::Properties properties;
        properties.Add("LEVEL_NUMBER", Variant(static_cast<int32_t>(level_.depth())));
        properties.Add("LEVEL_UNIQUE_NAME", Variant(level_.unique_name()));
        properties.Add("HIERARCHY_UNIQUE_NAME", Variant(level_.hierarchy().unique_name()));
        // Levels stay listed, a client finds them by depth; this says which the schema hides.
        properties.Add("LEVEL_IS_VISIBLE", Variant(level_.visible()));
        // Counting reads the members; only where that has happened is the count free.
        if (level_.hierarchy().members_read()) {
          properties.Add("LEVEL_CARDINALITY", Variant(static_cast<int32_t>(level_.members().size())));
        }
        return properties;
      }) {}

std::shared_ptr<provider::Members> EngineLevel::GetMembers() const {
  auto owner = owner_;
  const engine::Level* level = &level_;
  // The level's own list is shared and lives with the catalog; only the
  // measures need a list of their own, without the hidden ones.
  std::shared_ptr<const std::vector<const engine::Member*>> listed;
  const std::vector<const engine::Member*>* members = &level->members();
  if (level->hierarchy().is_measures()) {
    auto visible = std::make_shared<std::vector<const engine::Member*>>();
    for (const engine::Member* member : *members) {
      bool shown = member->measure ? member->measure->visible : member->calculated ? member->calculated->visible : true;
      if (shown) visible->push_back(member);
    }
    members = visible.get();
    listed = std::move(visible);
  }
  return std::make_shared<LazyCollection<provider::Member>>(
      static_cast<int>(members->size()),
      [owner, members, listed](int index) { return EngineMember::Wrap(owner, (*members)[static_cast<size_t>(index)]); },
      [owner, level, members, listed](std::string_view name) -> std::shared_ptr<provider::Member> {
        const engine::Member* found = level->hierarchy().FindMember(name);
        if (found && found->level == level) return EngineMember::Wrap(owner, found);
        for (const engine::Member* member : *members) {
          if (EqualsIgnoreCase(member->name, name)) return EngineMember::Wrap(owner, member);
        }
        return nullptr;
      });
}

}  // namespace orvex::engine
