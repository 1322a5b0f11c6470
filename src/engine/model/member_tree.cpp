#include "engine/model/member_tree.h"

#include "engine/model/level.h"

namespace orvex::engine::detail {

Member& MemberTree::Add(Member member) {
  Member& added = storage_.emplace_back(std::move(member));
  if (added.parent) {
    // The parent is owned by this tree, which is still being filled.
    const_cast<Member*>(added.parent)->child_members.push_back(&added);
  } else {
    roots_.push_back(&added);
  }
  return added;
}

Member& MemberTree::AddHidden(Member member) {
  Member& added = storage_.emplace_back(std::move(member));
  size_t depth = static_cast<size_t>(added.depth());
  if (depth >= hidden_.size()) hidden_.resize(depth + 1);
  hidden_[depth].push_back(&added);
  return added;
}

void MemberTree::Finish() {
  members_.reserve(storage_.size());
  for (const Member* root : roots_) Visit(root);
}

void MemberTree::Visit(const Member* root) {
  // Without recursion: a parent-child hierarchy may be a chain of any length.
  std::vector<const Member*> stack{root};
  while (!stack.empty()) {
    const Member* member = stack.back();
    stack.pop_back();
    auto& mutable_member = const_cast<Member&>(*member);
    size_t depth = static_cast<size_t>(member->depth());
    if (depth >= levels_.size()) levels_.resize(depth + 1);
    // A member added with AddRoot() may be read by other threads already: it
    // is written only where its place differs from the one it was made with.
    auto order = static_cast<int32_t>(members_.size());
    auto index_in_level = static_cast<int32_t>(levels_[depth].size());
    if (mutable_member.order != order) mutable_member.order = order;
    if (mutable_member.index_in_level != index_in_level) mutable_member.index_in_level = index_in_level;
    members_.push_back(member);
    levels_[depth].push_back(member);
    stack.insert(stack.end(), member->child_members.rbegin(), member->child_members.rend());
  }
}

const std::vector<const Member*>& MemberTree::level(int depth) const {
  static const std::vector<const Member*> kNone;
  if (depth < 0 || static_cast<size_t>(depth) >= levels_.size()) return kNone;
  return levels_[static_cast<size_t>(depth)];
}

const std::vector<const Member*>& MemberTree::hidden(int depth) const {
  static const std::vector<const Member*> kNone;
  if (depth < 0 || static_cast<size_t>(depth) >= hidden_.size()) return kNone;
  return hidden_[static_cast<size_t>(depth)];
}

const Member* MemberTree::Find(std::string_view unique_name) const {
  std::call_once(index_once_, [this] {
    by_unique_name_.reserve(members_.size());
    // In hierarchy order, so that the first of two members that share a name wins.
    for (const Member* member : members_) by_unique_name_.emplace(member->unique_name, member);
  });
  auto found = by_unique_name_.find(unique_name);
  return found == by_unique_name_.end() ? nullptr : found->second;
}

}  // namespace orvex::engine::detail
