#include "engine/eval/name_resolver.h"

#include "engine/eval/calculated_members.h"
#include "engine/eval/statement_cache.h"
#include "engine/eval/value.h"
#include "engine/mdx/lexer.h"
#include "engine/common/engine_error.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

std::string KeyText(const KeyValue& key) {
  if (const auto* integer = std::get_if<int64_t>(&key)) return std::to_string(*integer);
  if (const auto* number = std::get_if<double>(&key)) return FormatNumber(*number);
  if (const auto* text = std::get_if<std::string>(&key)) return *text;
  if (const auto* exact = std::get_if<Decimal>(&key)) return ShortText(*exact);
  return "";
}

const Member* FindByKey(const std::vector<const Member*>& candidates, std::string_view key) {
  for (const Member* candidate : candidates) {
    if (EqualsIgnoreCase(KeyText(candidate->key), key)) return candidate;
  }
  return nullptr;
}

std::vector<mdx::NamePart> Prefix(const std::vector<mdx::NamePart>& parts, size_t count) {
  return {parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(count)};
}

// True when `member` has the compound key `keys`: its own key last, its
// ancestors' before it, nearest first from the back.
bool HasCompoundKey(const Member* member, const std::vector<std::string>& keys) {
  for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
    if (!member || member->is_all || !EqualsIgnoreCase(KeyText(member->key), *key)) return false;
    member = member->parent;
  }
  return true;
}

// The one member of `level` the part names (by name or caption, or by key);
// nullptr when none does or when several do, as a name that is not unique
// within its level says nothing about which is meant.
const Member* FindInLevel(const Level& level, const mdx::NamePart& part) {
  const Member* found = nullptr;
  for (const Member* member : level.members()) {
    bool match = !part.key                ? EqualsIgnoreCase(member->name, part.text) ||
                                                EqualsIgnoreCase(member->caption, part.text)
                 : part.compound.empty() ? EqualsIgnoreCase(KeyText(member->key), part.text)
                                         : HasCompoundKey(member, part.compound);
    if (!match) continue;
    if (found) return nullptr;
    found = member;
  }
  return found;
}

bool HasKeyPart(const std::vector<mdx::NamePart>& parts) {
  for (const auto& part : parts) {
    if (part.key) return true;
  }
  return false;
}

}  // namespace

NameResolver::NameResolver(const Cube& cube, const CalculatedMembers& calculated, const mdx::Statement* statement)
    : cube_(cube), calculated_(calculated) {
  size_t formulas = statement ? statement->formulas.size() : 0;
  for (size_t index = 0; index < formulas; ++index) {
    const mdx::Formula& formula = statement->formulas[index];
    if (formula.kind != mdx::Formula::Kind::kSet) continue;
    std::string name = formula.name.size() == 1 ? formula.name.front().text : mdx::FormatName(formula.name);
    if (!sets_.emplace(name, index).second) {
      throw EngineError("The set " + mdx::FormatName(formula.name) + " is defined twice.");
    }
  }
  // The cube's named sets come after the statement's formulas; a statement set
  // of the same name hides one.
  const auto& cube_sets = cube.named_sets();
  for (size_t index = 0; index < cube_sets.size(); ++index) sets_.emplace(cube_sets[index].name, formulas + index);
  // A set defined with a hierarchy in its name ([Time].[Halves]) is also
  // reached by its last part, unless that names another set.
  for (size_t index = 0; index < formulas; ++index) {
    const mdx::Formula& formula = statement->formulas[index];
    if (formula.kind == mdx::Formula::Kind::kSet && formula.name.size() > 1) sets_.emplace(formula.name.back().text, index);
  }
}

const NameTarget& NameResolver::Resolve(const mdx::Name& name) {
  auto found = resolved_.find(&name);
  if (found != resolved_.end()) return found->second;
  std::optional<NameTarget> target = Find(name.parts);
  if (!target) {
    throw EngineError("The name " + name.ToString() + " at " + mdx::DescribePosition(name.pos) +
                         " is not a member, level, hierarchy, dimension or set of the cube '" + cube_.name() + "'.");
  }
  return resolved_.emplace(&name, *target).first->second;
}

const mdx::Node& NameResolver::ParsedText(const std::string& text) {
  auto found = parsed_texts_.find(text);
  if (found != parsed_texts_.end()) return *found->second;
  std::shared_ptr<const mdx::Node> parsed = StatementCache::Shared().Expression(text);
  return *parsed_texts_.emplace(text, std::move(parsed)).first->second;
}

std::optional<NameTarget> NameResolver::Find(const std::vector<mdx::NamePart>& parts) const {
  if (parts.empty()) return std::nullopt;
  if (parts.size() == 1 && !parts[0].key) {
    auto set = sets_.find(parts[0].text);
    if (set != sets_.end()) return NamedSetRef{set->second};
  }
  if (parts.size() > 1) {
    auto set = sets_.find(mdx::FormatName(parts));
    if (set != sets_.end()) return NamedSetRef{set->second};
  }
  if (const Member* member = calculated_.Find(mdx::FormatName(parts))) return member;
  const mdx::NamePart& first = parts[0];
  if (!first.key && EqualsIgnoreCase(first.text, "Measures")) return FindInHierarchy(cube_.measures_hierarchy(), parts, 1);

  if (parts.size() >= 2 && !parts[1].key) {
    if (const Hierarchy* hierarchy = cube_.FindHierarchy(mdx::FormatName(Prefix(parts, 2)))) {
      if (auto target = FindInHierarchy(*hierarchy, parts, 2)) return target;
    }
  }
  if (!first.key) {
    if (const Hierarchy* hierarchy = cube_.FindHierarchy(mdx::FormatName(Prefix(parts, 1)))) {
      if (auto target = FindInHierarchy(*hierarchy, parts, 1)) return target;
    }
    if (const Dimension* dimension = cube_.FindDimension(first.text)) {
      const auto& hierarchies = dimension->hierarchies();
      if (parts.size() == 1) {
        if (hierarchies.size() == 1) return hierarchies.front();
        return dimension;
      }
      for (const Hierarchy* hierarchy : hierarchies) {
        if (auto target = FindInHierarchy(*hierarchy, parts, 1)) return target;
      }
    }
  }
  // [Time].[Time]: the hierarchy of a dimension that has no name of its own
  // goes by the dimension's name, where the second part names no level or
  // member of it.
  if (parts.size() >= 2 && !first.key && !parts[1].key && EqualsIgnoreCase(first.text, parts[1].text)) {
    if (const Dimension* dimension = cube_.FindDimension(first.text)) {
      for (const Hierarchy* hierarchy : dimension->hierarchies()) {
        if (!hierarchy->name().empty() && !EqualsIgnoreCase(hierarchy->name(), first.text)) continue;
        if (auto target = FindInHierarchy(*hierarchy, parts, 2)) return target;
      }
    }
  }
  // A path of names or captions without the dimension: [USA].[CA], [All Stores].[USA].
  for (const Hierarchy* hierarchy : cube_.hierarchies()) {
    if (const Member* member = WalkPath(*hierarchy, parts, 0)) return member;
  }
  if (const Member* member = WalkPath(cube_.measures_hierarchy(), parts, 0)) return member;
  return FindCalculatedByPath(parts);
}

std::optional<NameTarget> NameResolver::FindCalculatedByPath(const std::vector<mdx::NamePart>& parts) const {
  // A calculated member by any name that reaches it: [Time].[1st Half] for
  // one defined as [Time].[Time].[1st Half], [Store].[USA].[West] for one
  // defined under [Store].[All Stores].[USA].
  if (parts.size() < 2 || parts.back().key) return std::nullopt;
  std::optional<NameTarget> above = Find(Prefix(parts, parts.size() - 1));
  if (!above) return std::nullopt;
  const Hierarchy* hierarchy = nullptr;
  const Member* parent = nullptr;
  if (const auto* member = std::get_if<const Member*>(&*above)) {
    parent = *member;
    if (parent) hierarchy = &HierarchyOf(*parent);
  } else if (const auto* found = std::get_if<const Hierarchy*>(&*above)) {
    hierarchy = *found;
  } else if (const auto* dimension = std::get_if<const Dimension*>(&*above)) {
    hierarchy = (*dimension)->hierarchies().front();
  }
  if (!hierarchy) return std::nullopt;
  const Member* top = hierarchy->all_member();
  for (const Member* member : calculated_.MembersOf(*hierarchy)) {
    if (!EqualsIgnoreCase(member->name, parts.back().text)) continue;
    bool under = parent ? member->parent == parent : (member->parent == nullptr || member->parent == top);
    if (under) return member;
  }
  return std::nullopt;
}

std::optional<NameTarget> NameResolver::FindInHierarchy(const Hierarchy& hierarchy,
                                                        const std::vector<mdx::NamePart>& parts,
                                                        size_t first) const {
  if (first == parts.size()) return &hierarchy;
  if (!HasKeyPart(parts)) {
    if (const Member* member = hierarchy.FindMember(mdx::FormatName(parts))) return member;
  }
  if (first + 1 == parts.size() && !parts[first].key) {
    for (const auto& level : hierarchy.levels()) {
      if (EqualsIgnoreCase(level->name(), parts[first].text)) return level.get();
    }
  }
  if (const Member* member = WalkPath(hierarchy, parts, first)) return member;
  // A member through its level, [Time].[Year].[1997] or [Time].[Quarter].&[1997]&[Q1];
  // after the path, which wins where a name reads both ways.
  if (first + 2 == parts.size() && !parts[first].key) {
    for (const auto& level : hierarchy.levels()) {
      if (!EqualsIgnoreCase(level->name(), parts[first].text)) continue;
      if (const Member* member = FindInLevel(*level, parts[first + 1])) return member;
    }
  }
  return std::nullopt;
}

const Member* NameResolver::WalkPath(const Hierarchy& hierarchy, const std::vector<mdx::NamePart>& parts,
                                     size_t first, const Member* start) const {
  const Member* current = start;
  for (size_t index = first; index < parts.size(); ++index) {
    const mdx::NamePart& part = parts[index];
    const Member* next = nullptr;
    if (!part.compound.empty()) {
      // A compound key walks down one level per key.
      for (const std::string& key : part.compound) {
        mdx::NamePart step{key, true, true, {}};
        const Member* below = WalkPath(hierarchy, {step}, 0, current);
        if (!below) return nullptr;
        current = below;
      }
      continue;
    }
    if (part.key) {
      const auto& candidates = current ? current->children() : hierarchy.levels().front()->members();
      next = FindByKey(candidates, part.text);
      // The all member is optional in a path, as it is for names.
      if (!next && !current && hierarchy.all_member()) next = FindByKey(hierarchy.all_member()->children(), part.text);
    } else {
      next = hierarchy.FindChild(current, part.text);
    }
    if (!next) return nullptr;
    current = next;
  }
  return current;
}

}  // namespace orvex::engine
