#pragma once
// Hierarchy's private state; included only by the data layer's .cpp files.
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/hierarchy.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/model/measure.h"
#include "engine/model/member_tree.h"
#include "engine/model/role_access.h"

namespace orvex::engine {

struct Hierarchy::State {
  std::string name;
  std::string unique_name;
  std::string caption;
  const Dimension* dimension = nullptr;
  bool is_measures = false;
  bool has_all = false;
  bool visible = true;
  std::vector<std::unique_ptr<Level>> levels;
  int index = -1;
  std::string default_member_name;  // the schema's defaultMember
  std::string all_member_name;
  std::string all_member_caption;
  detail::HierarchyMapping mapping;
  // Reads the members into the tree, below the all member (nullptr without
  // one); set by the catalog layer, which knows the store. Throws ComError
  // when the store fails.
  std::function<void(const Hierarchy&, const Member*, detail::MemberTree&)> load_members;
  // The store the members are read from (outlives the cube); nullptr where
  // the hierarchy has no tables of its own to read (a virtual cube's).
  const Store* store = nullptr;
  // Under a role: the unrestricted hierarchy whose members this one shows
  // (as far as `access` lets it), and whether any name reaches it at all.
  const Hierarchy* base = nullptr;  // owned by the base cube, which the restricted cube keeps alive
  std::shared_ptr<const HierarchyAccess> access;
  bool accessible = true;

  // The all member of a hierarchy with one and no role: made without reading
  // the store, so that a statement that leaves the hierarchy at it never reads
  // the members. The tree links it as its first root when it is read.
  std::once_flag all_once;
  std::unique_ptr<Member> all;

  std::mutex load_mutex;
  std::unique_ptr<detail::MemberTree> tree;  // guarded by load_mutex until published through `loaded`
  const Member* default_member = nullptr;    // set with `tree`; nullptr when defaultMember names no member
  // The schema's calculated members of this hierarchy (owned by the cube), and
  // their members, made with `tree` once their parents can be found.
  std::vector<const CalculatedMemberDef*> calculated_definitions;
  std::deque<Member> calculated;  // guarded by load_mutex until published through `loaded`
  std::vector<const Member*> calculated_members;
  // The frozen tree, published once it is complete; read without locking.
  std::atomic<const detail::MemberTree*> loaded{nullptr};
};

}  // namespace orvex::engine
