#pragma once
#include <string>
#include <string_view>

#include "engine/model/hierarchy.h"
#include "engine/model/member_tree.h"

namespace orvex::engine {

class Store;

// Reads the members of one hierarchy with a single query over its tables:
// every distinct key path, ordered level by level by the ordinal column (else
// the key), nulls last.
class MemberLoader {
 public:
  // Adds the members to `tree` below `all_member` (nullptr without an all
  // level), in member order. Throws ComError when the store fails.
  static void Load(const Hierarchy& hierarchy, const Store& store, const Member* all_member,
                   detail::MemberTree& tree);
  // A name as one part of a unique name: in brackets, "]" doubled.
  static std::string Bracket(std::string_view name);
};

}  // namespace orvex::engine
