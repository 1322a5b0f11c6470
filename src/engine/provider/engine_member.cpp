#include "engine/provider/engine_member.h"

#include "engine/model/hierarchy.h"
#include "engine/model/level.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineMember::EngineMember(std::shared_ptr<const void> owner, const engine::Member& member)
    : owner_(std::move(owner)), member_(member), properties_([this] {
        const engine::Member& m = member_;
        provider::Properties properties;
        properties.Add("MEMBER_NAME", Variant(m.name));
        properties.Add("MEMBER_UNIQUE_NAME", Variant(m.unique_name));
        properties.Add("MEMBER_CAPTION", Variant(m.caption));
        properties.Add("LEVEL_NUMBER", Variant(static_cast<int32_t>(m.depth())));
        properties.Add("LEVEL_UNIQUE_NAME", Variant(m.level ? m.level->unique_name() : std::string()));
        properties.Add("HIERARCHY_UNIQUE_NAME",
                       Variant(m.level ? m.level->hierarchy().unique_name() : std::string()));
        properties.Add("PARENT_UNIQUE_NAME", Variant(m.parent ? m.parent->unique_name : std::string()));
        properties.Add("CHILDREN_CARDINALITY", Variant(static_cast<int32_t>(m.children.size())));
        return properties;
      }) {}

std::shared_ptr<provider::Member> EngineMember::Wrap(const std::shared_ptr<const void>& owner,
                                                     const engine::Member* member) {
  if (!member) return nullptr;
  return std::make_shared<EngineMember>(owner, *member);
}

std::string EngineMember::LevelName() const { return member_.level ? member_.level->name() : std::string(); }

std::shared_ptr<provider::Members> EngineMember::Children() const {
  auto owner = owner_;
  const engine::Member* parent = &member_;
  return std::make_shared<LazyCollection<provider::Member>>(
      static_cast<int>(member_.children.size()),
      [owner, parent](int index) { return Wrap(owner, parent->children[static_cast<size_t>(index)]); },
      [owner, parent](std::string_view name) -> std::shared_ptr<provider::Member> {
        if (!parent->level) return nullptr;
        const Hierarchy& hierarchy = parent->level->hierarchy();
        const engine::Member* found = hierarchy.FindMember(name);
        if (!found || found->parent != parent) found = hierarchy.FindChild(parent, name);
        return Wrap(owner, found);
      });
}

}  // namespace orvex::engine
