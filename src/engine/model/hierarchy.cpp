#include "engine/model/hierarchy.h"

#include "engine/common/bracket.h"
#include "engine/common/engine_error.h"
#include "engine/model/hierarchy_state.h"
#include "platform/text.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orvex::engine {
namespace {

// The parts of a member name as a schema writes it: "[a].[b]" (brackets, "]]"
// inside one) or a bare name, which is one part even with dots or blanks in it.
std::vector<std::string> NameParts(std::string_view text) {
  std::vector<std::string> parts;
  std::string trimmed = Trim(text);
  std::string_view rest = trimmed;
  if (rest.empty() || rest.front() != '[') {
    if (!rest.empty()) parts.emplace_back(rest);
    return parts;
  }
  size_t position = 0;
  while (position < rest.size()) {
    if (rest[position] != '[') return {};  // neither bracketed nor bare: names nothing
    std::string part;
    size_t index = position + 1;
    for (; index < rest.size(); ++index) {
      if (rest[index] != ']') {
        part += rest[index];
      } else if (index + 1 < rest.size() && rest[index + 1] == ']') {
        part += ']';
        ++index;
      } else {
        break;
      }
    }
    if (index >= rest.size()) return {};  // an unclosed bracket
    parts.push_back(std::move(part));
    position = index + 1;
    if (position < rest.size()) {
      if (rest[position] != '.') return {};
      ++position;
    }
  }
  return parts;
}


// The keys of a member and of the members above it in the store's rows, top
// level first: what a row of the hierarchy's table holds for it.
std::vector<KeyValue> KeyPath(const Member& member) {
  std::vector<KeyValue> path;
  for (const Member* at = &member; at && !at->is_all; at = at->stored_parent()) path.push_back(at->key);
  std::reverse(path.begin(), path.end());
  return path;
}

struct KeyPathHash {
  size_t operator()(const std::vector<KeyValue>& path) const {
    size_t hash = path.size();
    for (const KeyValue& key : path) hash = hash * 31 + std::hash<KeyValue>()(key);
    return hash;
  }
};

// The members of `hierarchy` among `members` that rows can lie under (no all
// member, no calculated member), by key path, and the deepest level they reach.
struct PathIndex {
  std::unordered_map<std::vector<KeyValue>, std::vector<const Member*>, KeyPathHash> members;
  std::unordered_set<int> depths;
  int deepest = -1;
};

PathIndex IndexPaths(std::span<const Member* const> members) {
  PathIndex index;
  std::unordered_set<const Member*> seen;
  for (const Member* member : members) {
    if (!member || member->is_all || member->calculated || !seen.insert(member).second) continue;
    index.members[KeyPath(*member)].push_back(member);
    index.depths.insert(member->level->depth());
    index.deepest = std::max(index.deepest, member->level->depth());
  }
  return index;
}

}  // namespace

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
bool Hierarchy::visible() const { return state_->visible; }
bool Hierarchy::accessible() const { return state_->accessible; }

bool Hierarchy::restricted() const {
  return state_->access && state_->access->kind == HierarchyAccess::Kind::kCustom;
}
bool Hierarchy::members_read() const { return state_->loaded.load(std::memory_order_acquire) != nullptr; }

const std::vector<const Member*>& Hierarchy::AllMembers() const { return Tree().members(); }

const std::vector<const Member*>& Hierarchy::LevelMembers(int depth) const {
  return Tree().level(depth);
}

const std::vector<const Member*>& Hierarchy::HiddenMembers(int depth) const { return Tree().hidden(depth); }

Member* Hierarchy::EarlyAllMember() const {
  State& state = *state_;
  if (!state.has_all || state.base || state.levels.empty()) return nullptr;
  std::call_once(state.all_once, [&state] {
    auto member = std::make_unique<Member>();
    member->name = state.all_member_name;
    member->caption = state.all_member_caption;
    member->unique_name = state.unique_name + "." + Bracket(state.all_member_name);
    member->level = state.levels.front().get();
    member->is_all = true;
    member->children_on_demand = true;
    // Always the first member in hierarchy order and in its level.
    member->order = 0;
    member->index_in_level = 0;
    state.all = std::move(member);
  });
  return state.all.get();
}

const Member* Hierarchy::default_member() const {
  if (state_->default_member_name.empty()) {
    if (const Member* all = EarlyAllMember()) return all;
  }
  Tree();
  if (!state_->default_member && !state_->default_member_name.empty()) {
    throw EngineError("The default member " + state_->default_member_name + " of the hierarchy " +
                      state_->unique_name + " does not exist.");
  }
  return state_->default_member;
}

const Member* Hierarchy::all_member() const {
  if (!state_->has_all) return nullptr;
  if (const Member* all = EarlyAllMember()) return all;
  const auto& roots = Tree().roots();
  // Under a role that hides it, the all member is not among the roots.
  return roots.empty() || !roots.front()->is_all ? nullptr : roots.front();
}

const Member* Hierarchy::FindMember(std::string_view unique_name) const {
  // The all member comes first in hierarchy order and so wins any lookup of
  // its name; found here, it needs no members read.
  if (const Member* all = EarlyAllMember(); all && EqualsIgnoreCase(all->unique_name, unique_name)) return all;
  if (const Member* member = Tree().Find(unique_name)) return member;
  for (const Member* member : state_->calculated_members) {
    if (EqualsIgnoreCase(member->unique_name, unique_name)) return member;
  }
  return nullptr;
}

const std::vector<const Member*>& Hierarchy::CalculatedMembers() const {
  Tree();
  return state_->calculated_members;
}

void Hierarchy::AddCalculatedMembers(const detail::MemberTree& tree) const {
  State& state = *state_;
  // Under a role the all member may be hidden, and the first root is then no all member.
  const Member* all = state.has_all && !tree.roots().empty() && tree.roots().front()->is_all ? tree.roots().front()
                                                                                               : nullptr;
  for (const CalculatedMemberDef* definition : state.calculated_definitions) {
    const Member* parent = all;
    if (!definition->parent_name.empty()) {
      parent = ResolveName(tree, definition->parent_name);
      // Under a role, a calculated member below a hidden member does not exist.
      if (!parent && state.base) continue;
      if (!parent) {
        throw EngineError("The parent " + definition->parent_name + " of the calculated member '" + definition->name +
                          "' is not a member of the hierarchy " + state.unique_name + ".");
      }
    }
    Member member;
    member.name = definition->name;
    member.caption = definition->caption;
    // Named like a real member at its place: the all member is left out.
    member.unique_name = (parent && !parent->is_all ? parent->unique_name : state.unique_name) + "." +
                         Bracket(definition->name);
    member.parent = parent;
    size_t depth = parent ? static_cast<size_t>(parent->depth()) + 1 : 0;
    member.level = state.levels[std::min(depth, state.levels.size() - 1)].get();
    // Sorts right after its parent, as a member defined in a statement does.
    member.order = parent ? parent->order : 0;
    member.index_in_level = -1;
    member.calculated = definition;
    state.calculated.push_back(std::move(member));
    state.calculated_members.push_back(&state.calculated.back());
  }
}

const Member* Hierarchy::FindChild(const Member* parent, std::string_view name) const {
  const auto& tree = Tree();
  const auto& candidates = parent ? parent->child_members : tree.roots();
  for (const Member* child : candidates) {
    if (EqualsIgnoreCase(child->name, name)) return child;
  }
  for (const Member* child : candidates) {
    if (EqualsIgnoreCase(child->caption, name)) return child;
  }
  for (const Member* member : state_->calculated_members) {
    if (member->parent == parent && EqualsIgnoreCase(member->name, name)) return member;
  }
  // The all member is optional in a name path: [Store].[USA] is a child of [All Stores].
  if (!parent && state_->has_all && !tree.roots().empty() && tree.roots().front()->is_all) {
    return FindChild(tree.roots().front(), name);
  }
  return nullptr;
}

std::unique_ptr<detail::MemberTree> Hierarchy::RestrictedTree() const {
  const State& state = *state_;
  const Hierarchy& base = *state.base;
  const detail::MemberTree& full = base.Tree();
  Visibility visibility = DecideVisibility(
      full, *state.access, [&](const std::string& written) { return base.ResolveName(full, written); });
  auto tree = std::make_unique<detail::MemberTree>(state.levels.size());
  // Parents come before their children, so a shown parent is copied first.
  std::vector<const Member*> copies(full.members().size(), nullptr);
  for (const Member* member : full.members()) {
    const auto index = static_cast<size_t>(member->order);
    if (!visibility.visible[index]) continue;
    Member copy;
    copy.name = member->name;
    copy.caption = member->caption;
    copy.unique_name = member->unique_name;
    copy.level = state.levels[static_cast<size_t>(member->level->depth())].get();
    // Below a hidden parent (above the top level shown) a member is a root.
    copy.parent = member->parent ? copies[static_cast<size_t>(member->parent->order)] : nullptr;
    copy.is_all = member->is_all;
    copy.below_level = member->below_level;
    copy.key = member->key;
    copy.properties = member->properties;
    copy.stored = member;
    copy.rollup = visibility.rollup[index];
    copies[index] = &tree->Add(std::move(copy));
  }
  return tree;
}

const Member* Hierarchy::ResolveDefaultMember(const detail::MemberTree& tree) const {
  return ResolveName(tree, state_->default_member_name);
}

const Member* Hierarchy::ResolveName(const detail::MemberTree& tree, const std::string& written) const {
  if (const Member* member = tree.Find(written)) return member;
  std::vector<std::string> parts = NameParts(written);
  // The name may start with its hierarchy's own name, or only with its
  // dimension's: "[Time].[Weekly].[2020]", "[Store].[USA]", "[USA]", "USA".
  std::vector<std::string> prefix = NameParts(state_->unique_name);
  auto starts_with = [&](const std::vector<std::string>& head) {
    if (head.empty() || head.size() >= parts.size()) return false;
    for (size_t index = 0; index < head.size(); ++index) {
      if (!EqualsIgnoreCase(head[index], parts[index])) return false;
    }
    return true;
  };
  if (starts_with(prefix)) {
    parts.erase(parts.begin(), parts.begin() + static_cast<ptrdiff_t>(prefix.size()));
  } else if (prefix.size() > 1 && starts_with({prefix.front()})) {
    parts.erase(parts.begin());
  }
  if (parts.empty()) return nullptr;
  const Member* member = nullptr;
  const auto& roots = tree.roots();
  for (const auto& part : parts) {
    const auto& candidates = member ? member->child_members : roots;
    const Member* next = nullptr;
    for (const Member* child : candidates) {
      if (EqualsIgnoreCase(child->name, part)) { next = child; break; }
    }
    // The all member is optional at the top of a path: "[USA]" under [All Stores].
    if (!next && !member && state_->has_all && !roots.empty() && roots.front()->is_all) {
      for (const Member* child : roots.front()->child_members) {
        if (EqualsIgnoreCase(child->name, part)) { next = child; break; }
      }
    }
    if (!next) return nullptr;
    member = next;
  }
  return member;
}

const detail::MemberTree& Hierarchy::Tree() const {
  State& state = *state_;
  if (const auto* tree = state.loaded.load(std::memory_order_acquire)) return *tree;
  std::lock_guard lock(state.load_mutex);
  if (const auto* tree = state.loaded.load(std::memory_order_relaxed)) return *tree;

  std::unique_ptr<detail::MemberTree> tree;
  if (state.base) {
    tree = RestrictedTree();
  } else {
    tree = std::make_unique<detail::MemberTree>(state.levels.size());
    Member* all = EarlyAllMember();
    if (all) {
      // A load that failed part way may have linked children; nobody reads
      // them before a tree is published.
      all->child_members.clear();
      tree->AddRoot(*all);
    }
    state.load_members(*this, all, *tree);
  }
  tree->Finish();
  state.calculated.clear();
  state.calculated_members.clear();
  AddCalculatedMembers(*tree);

  if (!state.default_member_name.empty()) {
    state.default_member = ResolveDefaultMember(*tree);
  } else if (!tree->roots().empty()) {
    state.default_member = tree->roots().front();
  }
  if (state.base && !state.default_member) {
    // The role hides the schema's default: the first member it shows stands
    // in, and where it shows none, cells add up over the hierarchy through
    // the base's default member, which no name reaches.
    state.default_member = !tree->roots().empty() ? tree->roots().front() : state.base->default_member();
  }
  state.tree = std::move(tree);
  state.loaded.store(state.tree.get(), std::memory_order_release);
  return *state.tree;
}

}  // namespace orvex::engine

namespace orvex::engine {

std::optional<Hierarchy::MemberPairs> Hierarchy::RelatedThroughTable(const Hierarchy& other,
                                                                     std::span<const Member* const> mine,
                                                                     std::span<const Member* const> theirs,
                                                                     Deadline deadline) const {
  // Under a role the rows are read through the unrestricted hierarchies, whose members these stand for.
  const Hierarchy& self = state_->base ? *state_->base : *this;
  const Hierarchy& that = other.state_->base ? *other.state_->base : other;
  const State& a = *self.state_;
  const State& b = *that.state_;
  if (&self == &that || a.dimension != b.dimension || a.is_measures || !a.store || a.store != b.store) return std::nullopt;
  if (a.mapping.relation.empty() || a.mapping.key_table.empty() || a.mapping.key_table != b.mapping.key_table) {
    return std::nullopt;
  }
  for (const State* state : {&a, &b}) {
    for (const auto& level : state->mapping.levels) {
      if (level.parent_child()) return std::nullopt;
    }
  }
  auto stored = [](std::span<const Member* const> members) {
    std::vector<const Member*> result;
    for (const Member* member : members) result.push_back(member && member->stored ? member->stored : member);
    return result;
  };
  std::vector<const Member*> stored_mine = stored(mine);
  std::vector<const Member*> stored_theirs = stored(theirs);
  PathIndex left = IndexPaths(stored_mine);
  PathIndex right = IndexPaths(stored_theirs);
  MemberPairs pairs;
  if (left.members.empty() || right.members.empty()) return pairs;

  // One row per distinct pair of key paths, down to the deepest level asked
  // about on each side, kept to the rows under a member asked about.
  const Store& store = *a.store;
  detail::RelationSql relation = a.mapping.relation;
  relation.Merge(b.mapping.relation);
  int left_first = a.has_all ? 1 : 0;
  int right_first = b.has_all ? 1 : 0;
  std::string select;
  for (int depth = left_first; depth <= left.deepest; ++depth) {
    select += (select.empty() ? "" : ", ") + a.mapping.levels[static_cast<size_t>(depth)].key_sql;
  }
  for (int depth = right_first; depth <= right.deepest; ++depth) {
    select += ", " + b.mapping.levels[static_cast<size_t>(depth)].key_sql;
  }
  auto keep = [&store](const State& state, const PathIndex& index) {
    std::unordered_map<int, std::vector<std::string>> keys;
    for (const auto& [path, members] : index.members) {
      keys[members.front()->level->depth()].push_back(std::holds_alternative<std::monostate>(path.back())
                                                          ? std::string()
                                                          : store.Literal(path.back()));
    }
    std::string condition;
    for (const auto& [depth, literals] : keys) {
      const std::string& column = state.mapping.levels[static_cast<size_t>(depth)].key_sql;
      std::string in;
      bool null = false;
      for (const std::string& literal : literals) {
        if (literal.empty()) {
          null = true;
        } else {
          in += (in.empty() ? "" : ", ") + literal;
        }
      }
      if (!in.empty()) condition += (condition.empty() ? "" : " OR ") + column + " IN (" + in + ")";
      if (null) condition += (condition.empty() ? "" : " OR ") + column + " IS NULL";
    }
    return "(" + condition + ")";
  };
  std::string sql = "SELECT DISTINCT " + select + " FROM " + relation.FromClause(store) + " WHERE " + keep(a, left) +
                    " AND " + keep(b, right);
  RowSet rows = store.Query(sql, deadline);

  std::unordered_map<const Member*, const Member*> given;  // stored member -> the member asked about
  for (size_t index = 0; index < mine.size(); ++index) given.emplace(stored_mine[index], mine[index]);
  std::unordered_map<const Member*, const Member*> given_theirs;
  for (size_t index = 0; index < theirs.size(); ++index) given_theirs.emplace(stored_theirs[index], theirs[index]);
  auto under = [&rows](const PathIndex& index, size_t row, size_t first_column, int first_depth) {
    std::vector<const Member*> found;
    std::vector<KeyValue> path;
    for (int depth = first_depth; depth <= index.deepest; ++depth) {
      path.push_back(rows.at(row, first_column + static_cast<size_t>(depth - first_depth)));
      if (!index.depths.count(depth)) continue;
      auto members = index.members.find(path);
      if (members != index.members.end()) found.insert(found.end(), members->second.begin(), members->second.end());
    }
    return found;
  };
  size_t right_column = static_cast<size_t>(left.deepest - left_first + 1);
  for (size_t row = 0; row < rows.row_count(); ++row) {
    for (const Member* left_member : under(left, row, 0, left_first)) {
      for (const Member* right_member : under(right, row, right_column, right_first)) {
        pairs.emplace_back(given[left_member], given_theirs[right_member]);
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}

}  // namespace orvex::engine
