#pragma once
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/level.h"
#include "engine/model/member.h"
#include "engine/store/deadline.h"

namespace orvex::engine {

class Dimension;
namespace detail {
struct HierarchyMapping;
class MemberTree;
}  // namespace detail

// A hierarchy of a cube dimension (the measures form one too). Metadata is
// fixed when the cube is built; members are read from the store once, on first
// use, under a lock, and shared by every request afterwards. Thread-safe.
//
// The public members below are what the MDX layer relies on; the data layer
// owns the rest of the class and its implementation.
class Hierarchy {
 public:
  const std::string& name() const;  // "" for the unnamed hierarchy of a one-hierarchy dimension
  const std::string& unique_name() const;
  const std::string& caption() const;
  const Dimension& dimension() const;
  bool is_measures() const;
  bool has_all() const;
  // False when the schema hides it from metadata listings; MDX still names it.
  bool visible() const;
  // Top level first (the all level where there is one).
  const std::vector<std::unique_ptr<Level>>& levels() const;
  // Position of this hierarchy in Cube::hierarchies(); -1 for the measures.
  int index() const;

  // Every member in hierarchy order, loading them on first use. Loading throws
  // ComError when the store fails; a later call tries again.
  const std::vector<const Member*>& AllMembers() const;
  // The schema's defaultMember, else the all member, else the first top-level
  // member. For the measures: the cube's default measure. The all member as
  // default comes without reading the members.
  const Member* default_member() const;
  const Member* all_member() const;  // nullptr without an all level; never reads the members outside a role
  // By unique name, without regard to case; nullptr when absent.
  const Member* FindMember(std::string_view unique_name) const;
  // A child by name, else by caption, without regard to case; `parent` nullptr
  // searches the top level and then, the all member being optional in a name
  // path, the all member's children. nullptr when absent.
  const Member* FindChild(const Member* parent, std::string_view name) const;
  // The members at level `depth`, in member order, loading them on first use;
  // an empty list for a depth the hierarchy does not have.
  const std::vector<const Member*>& LevelMembers(int depth) const;
  // The calculated members the schema defines on this hierarchy (not the
  // measures'), in schema order, loading members on first use. They are in
  // no level's member list nor among their parent's children; FindMember and
  // FindChild find them.
  const std::vector<const Member*>& CalculatedMembers() const;
  // False when the role of the connection hides this hierarchy: it keeps its
  // place in Cube::hierarchies() and in coordinates (cells add up over it at
  // its default member), but no name reaches it and it has no members.
  bool accessible() const;
  // True when the role of the connection shows only some of the members.
  bool restricted() const;
  // Whether the members have been read (under a role: copied) by now; a
  // statement reads only those of the hierarchies it goes below the all member of.
  bool members_read() const;
  // The pairs (a, b) of `mine`, members of this hierarchy, and `theirs`,
  // members of `other`, that some row of their dimension table holds
  // together, read with one query. nullopt when the two are not related that
  // way: different dimensions, different tables, parent-child levels.
  // All and calculated members are left out (they lie over every row).
  // Throws ComError when the store fails or runs past `deadline`.
  using MemberPairs = std::vector<std::pair<const Member*, const Member*>>;
  std::optional<MemberPairs> RelatedThroughTable(const Hierarchy& other, std::span<const Member* const> mine,
                                                 std::span<const Member* const> theirs, Deadline deadline) const;
  // The schema's defaultMember as written ("" when the schema gives none).
  const std::string& default_member_name() const;

  // Data layer only: the members of a ragged level at `depth` that are left
  // out of the tree (never in LevelMembers); an empty list for most levels.
  const std::vector<const Member*>& HiddenMembers(int depth) const;
  // Data layer only: how the levels map onto the store's tables.
  const detail::HierarchyMapping& mapping() const;

  ~Hierarchy();
  Hierarchy(const Hierarchy&) = delete;
  Hierarchy& operator=(const Hierarchy&) = delete;

 private:
  friend class CubeBuilder;  // the data layer builds hierarchies
  Hierarchy();
  const detail::MemberTree& Tree() const;  // the members, loaded on first use
  // The all member made before the members are read, where the hierarchy has
  // one and no role restricts it; nullptr otherwise. Never reads the store.
  Member* EarlyAllMember() const;
  // Under a role: the copies of the base hierarchy's members that the role shows.
  std::unique_ptr<detail::MemberTree> RestrictedTree() const;
  // The member the schema's defaultMember names: a unique name, a path below
  // the hierarchy ("[All Media]", "[USA].[CA]") or a bare name ("All Media");
  // nullptr when it names none.
  const Member* ResolveDefaultMember(const detail::MemberTree& tree) const;
  // A member by a name as a schema writes it, as for the default member.
  const Member* ResolveName(const detail::MemberTree& tree, const std::string& written) const;
  // Makes the members of the schema's calculated members once `tree` is read.
  void AddCalculatedMembers(const detail::MemberTree& tree) const;
  struct State;  // defined by the data layer
  std::unique_ptr<State> state_;
};

}  // namespace orvex::engine
