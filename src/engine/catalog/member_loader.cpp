#include "engine/catalog/member_loader.h"

#include <map>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <variant>

#include "engine/common/bracket.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/model/level.h"
#include "engine/store/store.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

// The SELECT list of the member query: each distinct expression once, so that
// a level whose name is its key reads one column, not two.
class SelectList {
 public:
  size_t Add(const std::string& sql) {
    for (size_t index = 0; index < expressions_.size(); ++index) {
      if (expressions_[index] == sql) return index;
    }
    expressions_.push_back(sql);
    return expressions_.size() - 1;
  }
  const std::vector<std::string>& expressions() const { return expressions_; }
  // How ORDER BY names the column at `index` on `store`.
  std::string Key(const Store& store, size_t index) const { return store.SelectListKey(index + 1, expressions_[index]); }

 private:
  std::vector<std::string> expressions_;
};

struct LevelColumns {
  size_t key, name, caption;
  std::vector<size_t> properties;
};

// A child of `parent` (nullptr for the top) with `key`.
struct ChildKey {
  const Member* parent;
  const KeyValue* key;
  bool operator==(const ChildKey& other) const { return parent == other.parent && *key == *other.key; }
};
struct ChildKeyHash {
  size_t operator()(const ChildKey& child) const {
    return std::hash<const void*>()(child.parent) * 31 + std::hash<KeyValue>()(*child.key);
  }
};

// A parent-child level's members: one row each, with its parent's key. The
// tree is built from the rows that reach a top member; a row whose parent is
// missing counts as a top member, and rows in a cycle reach none and are left out.
void LoadParentChild(const Hierarchy& hierarchy, const Store& store, const Member* all_member,
                     detail::MemberTree& tree) {
  size_t depth = hierarchy.has_all() ? 1 : 0;
  const auto& level = hierarchy.mapping().levels[depth];
  SelectList select;
  size_t key = select.Add(level.key_sql), name = select.Add(level.name_sql), caption = select.Add(level.caption_sql);
  size_t parent_column = select.Add(level.parent_sql);
  std::vector<size_t> properties;
  for (const auto& property : level.property_sql) properties.push_back(select.Add(property));
  std::string order_by = level.ordinal_sql.empty() ? "" : select.Key(store, select.Add(level.ordinal_sql)) + " NULLS LAST, ";
  order_by += select.Key(store, key) + " NULLS LAST";
  std::string sql = "SELECT DISTINCT ";
  for (size_t index = 0; index < select.expressions().size(); ++index) {
    sql += (index > 0 ? ", " : "") + select.expressions()[index];
  }
  sql += " FROM " + hierarchy.mapping().relation.FromClause(store) + " ORDER BY " + order_by;
  RowSet rows = store.Query(sql);

  std::unordered_map<KeyValue, size_t> row_of_key;
  row_of_key.reserve(rows.row_count());
  std::vector<bool> repeated(rows.row_count(), false);  // a key read twice counts once
  for (size_t row = 0; row < rows.row_count(); ++row) {
    if (!row_of_key.emplace(rows.at(row, key), row).second) repeated[row] = true;
  }
  // Each row's children, in row order, as one list cut at first_child[row]
  // (rather than a list per row: a hundred thousand small allocations).
  constexpr size_t kNoParent = SIZE_MAX;
  std::vector<size_t> parent_of(rows.row_count(), kNoParent);
  std::vector<size_t> first_child(rows.row_count() + 1, 0);
  std::vector<size_t> tops;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    if (repeated[row]) continue;
    const KeyValue& parent = rows.at(row, parent_column);
    auto found = std::holds_alternative<std::monostate>(parent) || ToText(parent) == level.null_parent_value
                     ? row_of_key.end()
                     : row_of_key.find(parent);
    if (found == row_of_key.end()) {
      tops.push_back(row);
    } else {
      parent_of[row] = found->second;
      ++first_child[found->second + 1];
    }
  }
  for (size_t row = 0; row < rows.row_count(); ++row) first_child[row + 1] += first_child[row];
  std::vector<size_t> child_rows(first_child.back());
  {
    std::vector<size_t> next(first_child.begin(), first_child.end() - 1);
    for (size_t row = 0; row < rows.row_count(); ++row) {
      if (parent_of[row] != kNoParent) child_rows[next[parent_of[row]]++] = row;
    }
  }
  // Depth first without recursion: a chain of members may be very deep.
  std::vector<std::pair<size_t, const Member*>> stack;
  for (auto top = tops.rbegin(); top != tops.rend(); ++top) stack.emplace_back(*top, all_member);
  while (!stack.empty()) {
    auto [row, parent] = stack.back();
    stack.pop_back();
    Member member;
    member.key = rows.at(row, key);
    member.name = ToText(rows.at(row, name));
    member.caption = ToText(rows.at(row, caption));
    bool below_top = parent && !parent->is_all;
    member.unique_name = (below_top ? parent->unique_name : hierarchy.unique_name()) + "." +
                         MemberLoader::Bracket(member.name);
    member.level = hierarchy.levels()[depth].get();
    member.parent = parent;
    member.below_level = below_top ? parent->below_level + 1 : 0;
    for (size_t property : properties) member.properties.push_back(rows.at(row, property));
    const Member& added = tree.Add(std::move(member));
    for (size_t child = first_child[row + 1]; child > first_child[row]; --child) {
      stack.emplace_back(child_rows[child - 1], &added);
    }
  }
}

// Whether a ragged level hides a member named `name` whose stored parent is
// `parent`: blanks count as no name, and a name is compared with the
// parent's as the store gave them, without regard to case.
bool HidesName(detail::HideMemberIf rule, const KeyValue& name, const Member* parent) {
  switch (rule) {
    case detail::HideMemberIf::kNever:
      return false;
    case detail::HideMemberIf::kIfBlankName:
      return std::holds_alternative<std::monostate>(name) || ToText(name).find_first_not_of(" \t\r\n") == std::string::npos;
    case detail::HideMemberIf::kIfParentsName:
      return parent && !parent->is_all && !std::holds_alternative<std::monostate>(name) &&
             EqualsIgnoreCase(ToText(name), parent->name);
  }
  return false;
}

// Whether `before` sorts strictly before `after` as the member query orders
// keys: by value, texts by their bytes, nulls last. False for keys of
// different kinds and for values that do not order (NaN): the caller then
// cannot rely on the order and looks members up instead.
bool SortsBefore(const KeyValue& before, const KeyValue& after) {
  if (std::holds_alternative<std::monostate>(before)) return false;
  if (std::holds_alternative<std::monostate>(after)) return true;
  if (before.index() != after.index()) return false;
  return std::visit(
      [&after](const auto& value) {
        using Type = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Type, std::monostate>) {
          return false;
        } else {
          return value < std::get<Type>(after);
        }
      },
      before);
}

}  // namespace

std::string MemberLoader::Bracket(std::string_view name) { return engine::Bracket(name); }

void MemberLoader::Load(const Hierarchy& hierarchy, const Store& store, const Member* all_member,
                        detail::MemberTree& tree) {
  const auto& mapping = hierarchy.mapping();
  const auto& levels = hierarchy.levels();
  size_t first = hierarchy.has_all() ? 1 : 0;
  if (first < mapping.levels.size() && mapping.levels[first].parent_child()) {
    LoadParentChild(hierarchy, store, all_member, tree);
    return;
  }

  SelectList select;
  std::vector<LevelColumns> columns;
  std::string order_by;
  for (size_t depth = first; depth < levels.size(); ++depth) {
    const auto& level = mapping.levels[depth];
    LevelColumns column{select.Add(level.key_sql), select.Add(level.name_sql), select.Add(level.caption_sql), {}};
    // Properties come with the members, in the same query: a property that
    // varies within one member gives extra rows, of which the first counts.
    for (const auto& property : level.property_sql) column.properties.push_back(select.Add(property));
    columns.push_back(column);
    if (!level.ordinal_sql.empty()) {
      order_by += select.Key(store, select.Add(level.ordinal_sql)) + " NULLS LAST, ";
    }
    order_by += select.Key(store, column.key) + " NULLS LAST, ";
  }
  order_by.resize(order_by.size() - 2);
  std::string sql = "SELECT DISTINCT ";
  for (size_t index = 0; index < select.expressions().size(); ++index) {
    if (index > 0) sql += ", ";
    sql += select.expressions()[index];
  }
  sql += " FROM " + mapping.relation.FromClause(store) + " ORDER BY " + order_by;
  RowSet rows = store.Query(sql);

  // Members are found by their key below the member above them in the rows
  // (`stored`); in a ragged hierarchy that one may be hidden, and a member
  // then hangs from the nearest shown ancestor (`shown`).
  //
  // The rows come ordered by the levels' keys, so a member's rows are
  // consecutive, and a key that differs from the row before's below the
  // same parent is a new member: no index is needed while each such key
  // sorts after the one before it. A store that orders otherwise (ordinal
  // columns, a collation other than bytes) breaks that the first time it
  // matters, and from there on members are found through a (parent, key)
  // index built from those made so far.
  std::unordered_map<ChildKey, const Member*, ChildKeyHash> children;
  std::vector<std::pair<const Member*, const Member*>> made;  // (stored parent, member) until the index exists
  made.reserve(rows.row_count());
  bool indexed = false;
  std::unordered_set<const Member*> hidden_members;
  struct Reached {
    const Member* above = nullptr;  // the stored parent it was reached from
    const Member* member = nullptr;
    bool hidden = false;
  };
  std::vector<Reached> previous(columns.size());
  for (size_t row = 0; row < rows.row_count(); ++row) {
    const Member* stored = all_member;
    const Member* shown = all_member;
    for (size_t index = 0; index < columns.size(); ++index) {
      const KeyValue& key = rows.at(row, columns[index].key);
      Reached& last = previous[index];
      if (last.member && last.above == stored && last.member->key == key) {
        stored = last.member;
        if (!last.hidden) shown = stored;
        continue;
      }
      if (!indexed && last.member && last.above == stored && !SortsBefore(last.member->key, key)) {
        children.reserve(rows.row_count() * 2);
        for (const auto& [parent, member] : made) children.emplace(ChildKey{parent, &member->key}, member);
        made = {};
        indexed = true;
      }
      last.above = stored;
      if (indexed) {
        auto found = children.find(ChildKey{stored, &key});
        if (found != children.end()) {
          stored = found->second;
          last.member = stored;
          last.hidden = !hidden_members.empty() && hidden_members.count(stored) != 0;
          if (!last.hidden) shown = stored;
          continue;
        }
      }
      Member member;
      member.key = key;
      const KeyValue& name = rows.at(row, columns[index].name);
      member.name = ToText(name);
      member.caption = ToText(rows.at(row, columns[index].caption));
      member.unique_name =
          (shown && !shown->is_all ? shown->unique_name : hierarchy.unique_name()) + "." + Bracket(member.name);
      member.level = levels[first + index].get();
      member.parent = shown;
      if (stored != shown) member.stored_parent_if_hidden = stored;
      for (size_t property : columns[index].properties) member.properties.push_back(rows.at(row, property));
      bool hidden = HidesName(mapping.levels[first + index].hide_if, name, stored);
      const Member& added = hidden ? tree.AddHidden(std::move(member)) : tree.Add(std::move(member));
      if (indexed) {
        children.emplace(ChildKey{stored, &added.key}, &added);
      } else {
        made.emplace_back(stored, &added);
      }
      stored = &added;
      last.member = &added;
      last.hidden = hidden;
      if (hidden) {
        hidden_members.insert(&added);
      } else {
        shown = &added;
      }
    }
  }
}

}  // namespace orvex::engine
