#pragma once
#include <memory>
#include <string>

#include "engine/model/level.h"
#include "engine/model/member.h"
#include "engine/provider/lazy_properties.h"
#include "provider/metadata.h"

namespace orvex::engine {

// A member property's value as the provider API shows it: a number for
// Numeric and Integer, a truth value for Boolean, text otherwise (dates and
// times as ISO text); null where the store holds none.
Variant PropertyVariant(LevelProperty::Type type, const KeyValue& value);

// A member of the engine as the provider API hands it out: a small wrapper
// made on demand. `owner` keeps alive what the member belongs to (its catalog,
// or the result that holds a statement's calculated member).
class EngineMember final : public provider::Member {
 public:
  EngineMember(std::shared_ptr<const void> owner, const engine::Member& member);

  static std::shared_ptr<provider::Member> Wrap(const std::shared_ptr<const void>& owner, const engine::Member* member);

  std::string Name() const override { return member_.name; }
  std::string UniqueName() const override { return member_.unique_name; }
  std::string Caption() const override { return member_.caption; }
  int LevelDepth() const override { return member_.depth(); }
  std::string LevelName() const override;
  std::shared_ptr<provider::Member> Parent() const override { return Wrap(owner_, member_.parent); }
  int ChildCount() const override { return static_cast<int>(member_.children().size()); }
  // Looks children up by unique name first (in constant time), then by name or caption.
  std::shared_ptr<provider::Members> Children() const override;
  // MEMBER_NAME, MEMBER_UNIQUE_NAME, MEMBER_CAPTION, LEVEL_NUMBER, LEVEL_UNIQUE_NAME,
  // HIERARCHY_UNIQUE_NAME, PARENT_UNIQUE_NAME, CHILDREN_CARDINALITY, KEY, NAME,
  // CAPTION, FORMAT_STRING for a measure that has one, then the properties the
  // schema declares on the member's level.
  const provider::Properties& GetProperties() const override { return properties_.Get(); }

 private:
  std::shared_ptr<const void> owner_;
  const engine::Member& member_;
  LazyProperties properties_;
};

}  // namespace orvex::engine
