#include "engine/provider/engine_member.h"

#include "engine/model/hierarchy.h"
#include "engine/model/level.h"
#include "engine/model/measure.h"
#include "engine/provider/lazy_collection.h"
#include "engine/store/row_set.h"
#include "platform/text.h"

#include <climits>

namespace orvex::engine {
namespace {

Variant KeyVariant(const KeyValue& key) {
  if (const auto* integer = std::get_if<int64_t>(&key)) {
    if (*integer >= INT32_MIN && *integer <= INT32_MAX) return Variant(static_cast<int32_t>(*integer));
    return Variant(static_cast<double>(*integer));
  }
  if (const auto* number = std::get_if<double>(&key)) return Variant(*number);
  if (const auto* text = std::get_if<std::string>(&key)) return Variant(*text);
  return Variant::Null();
}

}  // namespace

Variant PropertyVariant(LevelProperty::Type type, const KeyValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return Variant::Null();
  double number = 0;
  switch (type) {
    case LevelProperty::Type::kNumeric:
      if (ToDouble(value, number)) return Variant(number);
      break;
    case LevelProperty::Type::kInteger:
      if (ToDouble(value, number)) return KeyVariant(KeyValue(static_cast<int64_t>(number)));
      break;
    case LevelProperty::Type::kBoolean: {
      if (ToDouble(value, number)) return Variant(number != 0);
      std::string text = ToLower(ToText(value));
      if (text == "true" || text == "t" || text == "1") return Variant(true);
      if (text == "false" || text == "f" || text == "0") return Variant(false);
      break;
    }
    default:
      return Variant(ToText(value));
  }
  // A value that does not fit its declared type is shown as the store gave it.
  return KeyVariant(value);
}

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
        properties.Add("CHILDREN_CARDINALITY", Variant(static_cast<int32_t>(m.children().size())));
        properties.Add("KEY", KeyVariant(m.key));
        properties.Add("NAME", Variant(m.name));
        properties.Add("CAPTION", Variant(m.caption));
        // A measure's format, for clients that format values themselves.
        if (m.measure && !m.measure->format_string.empty()) {
          properties.Add("FORMAT_STRING", Variant(m.measure->format_string));
        } else if (m.calculated && !m.calculated->format_string.empty()) {
          properties.Add("FORMAT_STRING", Variant(m.calculated->format_string));
        }
        // The properties the schema declares on the member's level, typed as declared.
        if (m.level) {
          const auto& declared = m.level->properties();
          for (size_t index = 0; index < declared.size() && index < m.properties.size(); ++index) {
            properties.Add(declared[index].name, PropertyVariant(declared[index].type, m.properties[index]));
          }
        }
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
      static_cast<int>(member_.children().size()),
      [owner, parent](int index) { return Wrap(owner, parent->children()[static_cast<size_t>(index)]); },
      [owner, parent](std::string_view name) -> std::shared_ptr<provider::Member> {
        if (!parent->level) return nullptr;
        const Hierarchy& hierarchy = parent->level->hierarchy();
        const engine::Member* found = hierarchy.FindMember(name);
        if (!found || found->parent != parent) found = hierarchy.FindChild(parent, name);
        return Wrap(owner, found);
      });
}

}  // namespace orvex::engine
