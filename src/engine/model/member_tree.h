#pragma once
#include <deque>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/model/member.h"
#include "platform/text.h"

namespace orvex::engine::detail {

// The members of one hierarchy, owned in one place. Filled by one thread,
// then frozen by Finish() and shared read-only by every request.
class MemberTree {
 public:
  explicit MemberTree(size_t level_count) : levels_(level_count) {}
  MemberTree(const MemberTree&) = delete;
  MemberTree& operator=(const MemberTree&) = delete;

  // Adds `member` as the last child of its parent (or as the last top-level
  // member); the tree owns it and its address never changes.
  Member& Add(Member member);
  // Adds `member`, owned elsewhere and outliving the tree, as the last
  // top-level member; its children are linked as Add() links any parent's.
  void AddRoot(Member& member) { roots_.push_back(&member); }
  // Keeps `member`, a ragged level's hidden member, without linking it into
  // the tree: it is in no level list, no parent's children and no index, but
  // the members below it point to it through Member::stored_parent().
  Member& AddHidden(Member member);
  // Numbers the members in hierarchy order (parents before children) and
  // builds the per-level lists; the unique-name index is built by the first Find().
  void Finish();

  const std::vector<const Member*>& members() const { return members_; }
  const std::vector<const Member*>& roots() const { return roots_; }
  // An empty list for a depth outside the hierarchy.
  const std::vector<const Member*>& level(int depth) const;
  // The hidden members at `depth`, in the order they were added.
  const std::vector<const Member*>& hidden(int depth) const;
  // By unique name, without regard to case; nullptr when absent. The first
  // member wins when two share a unique name. Thread-safe after Finish().
  const Member* Find(std::string_view unique_name) const;

 private:
  void Visit(const Member* member);

  std::deque<Member> storage_;
  std::vector<const Member*> roots_;
  std::vector<const Member*> members_;
  std::vector<std::vector<const Member*>> levels_;
  std::vector<std::vector<const Member*>> hidden_;
  // Many statements never look a member up by name: the index is built then.
  mutable std::once_flag index_once_;
  mutable std::unordered_map<std::string_view, const Member*, CaseInsensitiveHash, CaseInsensitiveEqual>
      by_unique_name_;
};

}  // namespace orvex::engine::detail
