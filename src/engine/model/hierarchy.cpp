#include "engine/model/hierarchy.h"

#include "engine/model/engine_error.h"
#include "engine/model/hierarchy_state.h"
#include "engine/model/member_loader.h"
#include "platform/text.h"

namespace orvex::engine {
Hierarchy::Hierarchy() : state_(std::make_unique<State>()) {}
Hierarchy::~Hierarchy() = default;

const std::string& Hierarchy::name() const { return state_->name; }
const std::string& Hierarchy::unique_name() const { return state_->unique_name; }
const std::string& Hierarchy::caption() const { return state_->caption; }
const Dimension& Hierarchy::dimension() const { return *state_->dimension; }
bool Hierarchy::is_measures() const { return state_->is_measures; }
bool Hierarchy::has_all() const { return state_->has_all; }
const std::vector<std::unique_ptr<Level>>& Hierarchy::levels() const { return state_->levels; }
int Hierarchy::index() const { return state_->index; }
const std::string& Hierarchy::default_member_name() const { return state_->default_member_name; }
const detail::HierarchyMapping& Hierarchy::mapping() const { return state_->mapping; }

const std::vector<const Member*>& Hierarchy::AllMembers() const { return Tree().members(); }

const std::vector<const Member*>& Hierarchy::LevelMembers(int depth) const {
  return Tree().level(depth);
}

const Member* Hierarchy::default_member() const {
  Tree();
  if (!state_->default_member && !state_->default_member_name.empty()) {
    throw EngineError("The default member " + state_->default_member_name + " of the hierarchy " +
                      state_->unique_name + " does not exist.");
  }
  return state_->default_member;
}

const Member* Hierarchy::all_member() const {
  if (!state_->has_all) return nullptr;
  const auto& roots = Tree().roots();
  return roots.empty() ? nullptr : roots.front();
}

const Member* Hierarchy::FindMember(std::string_view unique_name) const {
  return Tree().Find(unique_name);
}

const Member* Hierarchy::FindChild(const Member* parent, std::string_view name) const {
  const auto& tree = Tree();
  const auto& candidates = parent ? parent->children : tree.roots();
  for (const Member* child : candidates) {
    if (EqualsIgnoreCase(child->name, name)) return child;
  }
  for (const Member* child : candidates) {
    if (EqualsIgnoreCase(child->caption, name)) return child;
  }
  // The all member is optional in a name path: [Store].[USA] is a child of [All Stores].
  if (!parent && state_->has_all && !tree.roots().empty()) return FindChild(tree.roots().front(), name);
  return nullptr;
}

const detail::MemberTree& Hierarchy::Tree() const {
  State& state = *state_;
  if (const auto* tree = state.loaded.load(std::memory_order_acquire)) return *tree;
  std::lock_guard lock(state.load_mutex);
  if (const auto* tree = state.loaded.load(std::memory_order_relaxed)) return *tree;

  auto tree = std::make_unique<detail::MemberTree>(state.levels.size());
  const Member* all = nullptr;
  if (state.has_all) {
    Member member;
    member.name = state.all_member_name;
    member.caption = state.all_member_caption;
    member.unique_name = state.unique_name + "." + MemberLoader::Bracket(state.all_member_name);
    member.level = state.levels.front().get();
    member.is_all = true;
    all = &tree->Add(std::move(member));
  }
  MemberLoader::Load(*this, *state.store, all, *tree);
  tree->Finish();

  if (!state.default_member_name.empty()) {
    state.default_member = tree->Find(state.default_member_name);
  } else if (!tree->roots().empty()) {
    state.default_member = tree->roots().front();
  }
  state.tree = std::move(tree);
  state.loaded.store(state.tree.get(), std::memory_order_release);
  return *state.tree;
}

}  // namespace orvex::engine
