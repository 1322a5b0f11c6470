#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/mdx/ast.h"
#include "engine/model/cube.h"
#include "platform/text.h"

namespace orvex::engine {

class CalculatedMembers;

// A named set of the statement's WITH clause, by its place among the formulas;
// the cube's named sets are numbered on after the statement's formulas.
struct NamedSetRef {
  size_t formula_index;
};

using NameTarget = std::variant<const Member*, const Level*, const Hierarchy*, const Dimension*, NamedSetRef>;

// Finds what a compound name means in a cube:
//  - a named set of the statement ([Axis 0]);
//  - a calculated member of the statement, by its unique name;
//  - [Measures] and its members;
//  - a hierarchy by unique name ([Time], [Time].[Fiscal]) or its dimension,
//    followed by nothing (the hierarchy), a level name ([Product].[Product Family])
//    or a member path ([Time].[1997].[Q1], the all member optional, &[key] parts by key,
//    &[1997]&[Q1] one step per key), or a level and a member unique in it
//    ([Time].[Year].[1997], [Time].[Quarter].&[1997]&[Q1]);
//  - else a path of member names or captions without dimension ([USA].[CA],
//    [All Stores].[USA]), tried in every hierarchy in cube order;
//  - last, a calculated member under whatever the rest of the name reaches.
// Names compare without regard to case. Results of Resolve are remembered per
// syntax node. One statement, one thread.
class NameResolver {
 public:
  // `statement` may be null (no named sets); both must outlive the resolver.
  NameResolver(const Cube& cube, const CalculatedMembers& calculated, const mdx::Statement* statement);
  NameResolver(const NameResolver&) = delete;
  NameResolver& operator=(const NameResolver&) = delete;

  // nullopt when the name means nothing in the cube.
  std::optional<NameTarget> Find(const std::vector<mdx::NamePart>& parts) const;
  // As Find, remembered per node; throws ComError naming the name, the cube
  // and the place in the statement when it means nothing.
  const NameTarget& Resolve(const mdx::Name& name);

  const Cube& cube() const { return cube_; }

  // The expression in `text` (what StrToMember and its kind read), parsed
  // once per statement and kept as long as this resolver, which remembers
  // names by node. Throws ComError when the text does not parse.
  const mdx::Node& ParsedText(const std::string& text);

 private:
  std::optional<NameTarget> FindInHierarchy(const Hierarchy& hierarchy, const std::vector<mdx::NamePart>& parts,
                                            size_t first) const;
  // The member the path from `first` names below `start` (the top when nullptr).
  const Member* WalkPath(const Hierarchy& hierarchy, const std::vector<mdx::NamePart>& parts, size_t first,
                         const Member* start = nullptr) const;
  std::optional<NameTarget> FindCalculatedByPath(const std::vector<mdx::NamePart>& parts) const;

  const Cube& cube_;
  const CalculatedMembers& calculated_;
  std::unordered_map<std::string, size_t, CaseInsensitiveHash, CaseInsensitiveEqual> sets_;
  std::unordered_map<const mdx::Node*, NameTarget> resolved_;
  std::unordered_map<std::string, std::shared_ptr<const mdx::Node>> parsed_texts_;
};

}  // namespace orvex::engine
