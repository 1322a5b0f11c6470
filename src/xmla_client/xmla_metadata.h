#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "provider/metadata.h"
#include "xmla_client/xmla_state.h"

// The provider API's metadata objects over what an XMLA server describes.
// Each keeps its connection's state alive and asks it for what it does not
// hold yet; all are immutable to their callers and may be shared.
namespace orvex::xmla_client {

// A collection whose count, items and lookups are functions, called when
// asked for (a level's members are fetched on the first Count or position).
// Unknown positions and names throw ComError errors::kItemNotFound.
template <class T>
class FunctionCollection final : public provider::Collection<T> {
 public:
  using CountFunction = std::function<int()>;
  using MakeFunction = std::function<std::shared_ptr<T>(int index)>;
  using FindFunction = std::function<std::shared_ptr<T>(std::string_view name)>;
  FunctionCollection(CountFunction count, MakeFunction make, FindFunction find)
      : count_(std::move(count)), make_(std::move(make)), find_(std::move(find)) {}

  using provider::Collection<T>::Item;
  int Count() const override { return count_(); }
  std::shared_ptr<T> Item(int index) const override {
    if (index < 0 || index >= count_()) throw provider::ItemNotFound(kXmlaClientErrorSource);
    return make_(index);
  }
  std::shared_ptr<T> Item(std::string_view name) const override {
    std::shared_ptr<T> item = find_ ? find_(name) : nullptr;
    if (!item) throw provider::ItemNotFound(kXmlaClientErrorSource);
    return item;
  }

 private:
  CountFunction count_;
  MakeFunction make_;
  FindFunction find_;
};

// Where an object lives on the server.
struct CubeScope {
  std::shared_ptr<XmlaState> state;
  std::string catalog;
  std::string cube;
};

// A member, as a result or a member rowset gave it; completed from the
// server the first time its name, parent or properties are asked for.
class XmlaMember final : public provider::Member {
 public:
  XmlaMember(CubeScope scope, std::shared_ptr<const MemberInfo> info);

  std::string Name() const override { return Info().name; }
  std::string UniqueName() const override { return info_->unique_name; }
  std::string Caption() const override { return info_->caption; }
  std::string Description() const override { return Info().description; }
  int LevelDepth() const override { return info_->level_number; }
  std::string LevelName() const override;
  std::shared_ptr<provider::Member> Parent() const override;
  int ChildCount() const override;
  std::shared_ptr<provider::Members> Children() const override;
  // MEMBER_NAME, MEMBER_UNIQUE_NAME, MEMBER_CAPTION, LEVEL_NUMBER,
  // LEVEL_UNIQUE_NAME, HIERARCHY_UNIQUE_NAME, PARENT_UNIQUE_NAME,
  // CHILDREN_CARDINALITY, NAME and CAPTION.
  const provider::Properties& GetProperties() const override;

 private:
  const MemberInfo& Info() const;

  CubeScope scope_;
  std::shared_ptr<const MemberInfo> info_;
  mutable std::once_flag completed_once_;
  mutable std::shared_ptr<const MemberInfo> completed_;  // set once, under completed_once_
  mutable std::once_flag properties_once_;
  mutable provider::Properties properties_;
};

// The members of `list`, found by unique name first, then by name.
std::shared_ptr<provider::Members> MemberCollection(const CubeScope& scope,
                                                    std::function<std::shared_ptr<const MemberList>()> list);

// The cube definitions of a catalog.
std::shared_ptr<provider::CubeDefs> CubeDefCollection(std::shared_ptr<XmlaState> state, const std::string& catalog,
                                                      std::vector<CubeInfo> cubes);

}  // namespace orvex::xmla_client
