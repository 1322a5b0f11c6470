#include "engine/eval/name_resolver.h"

#include "engine/eval/calculated_members.h"
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

std::optional<NameTarget> NameResolver::Find(const std::vector<mdx::NamePart>& parts) const {
  if (parts.empty()) return std::nullopt;
  if (parts.size() == 1 && !parts[0].key) {
    auto set = sets_.find(parts[0].text);
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
  // A path of names or captions without the dimension: [USA].[CA], [All Stores].[USA].
  for (const Hierarchy* hierarchy : cube_.hierarchies()) {
    if (const Member* member = WalkPath(*hierarchy, parts, 0)) return member;
  }
  if (const Member* member = WalkPath(cube_.measures_hierarchy(), parts, 0)) return member;
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
  return std::nullopt;
}

const Member* NameResolver::WalkPath(const Hierarchy& hierarchy, const std::vector<mdx::NamePart>& parts,
                                     size_t first) const {
  const Member* current = nullptr;
  for (size_t index = first; index < parts.size(); ++index) {
    const mdx::NamePart& part = parts[index];
    const Member* next = nullptr;
    if (part.key) {
      const auto& candidates = current ? current->children : hierarchy.levels().front()->members();
      next = FindByKey(candidates, part.text);
      // The all member is optional in a path, as it is for names.
      if (!next && !current && hierarchy.all_member()) next = FindByKey(hierarchy.all_member()->children, part.text);
    } else {
      next = hierarchy.FindChild(current, part.text);
    }
    if (!next) return nullptr;
    current = next;
  }
  return current;
}

}  // namespace orvex::engine
