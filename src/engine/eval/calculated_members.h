#pragma once
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/mdx/ast.h"
#include "engine/model/cube.h"
#include "platform/text.h"

namespace orvex::engine {

class NameResolver;

// How one calculated member is computed: its formula, and which calculation
// wins where several meet in one cell (the higher solve order; on a tie, the
// one defined later, statement members after the cube's own).
struct Calculation {
  const mdx::Node* formula = nullptr;
  int solve_order = 0;
  int sequence = 0;
  std::string format_string;  // as given; "" when none was
  // Properties written as expressions, evaluated at each cell the member
  // wins: FORMAT_STRING (then format_string is ""), FORE_COLOR, BACK_COLOR.
  // Null when absent; they point into the statement.
  const mdx::Node* format_expression = nullptr;
  const mdx::Node* fore_color = nullptr;
  const mdx::Node* back_color = nullptr;
};

// The calculated member that computes a cell, with its calculation; both
// null when no member of the cell is calculated.
struct Winner {
  const Member* member = nullptr;
  const Calculation* calculation = nullptr;
};

// The calculated members one statement can see: those of its WITH clause,
// which it owns as Member objects outside every level list, and the cube's
// own, whose formulas are parsed on first use. One statement, one thread.
class CalculatedMembers {
 public:
  explicit CalculatedMembers(const Cube& cube) : cube_(cube) {}
  CalculatedMembers(const CalculatedMembers&) = delete;
  CalculatedMembers& operator=(const CalculatedMembers&) = delete;

  // Adds the statement's WITH MEMBER definitions in order. A name's leading
  // parts name its hierarchy or parent member, found through `names`. Throws
  // ComError for an unknown parent, a name defined twice, or a property that
  // is not a literal. The statement must outlive this object.
  void AddStatementMembers(const mdx::Statement& statement, NameResolver& names);

  // A statement member by unique name, without regard to case; nullptr when absent.
  const Member* Find(std::string_view unique_name) const;
  // The calculated members of `hierarchy`: the cube's own (not for the
  // measures, whose members list them), then the statement's, in definition order.
  std::vector<const Member*> MembersOf(const Hierarchy& hierarchy) const;

  // The visual total of `base` over `parts` (members of its hierarchy below
  // it): a member in base's place, named as base or after `caption` when that
  // is not "", whose value is the aggregate of the parts. Made once per
  // statement for each base and list of parts; owned here. Listed by no
  // MembersOf; it wins over the statement's calculated members of equal solve order.
  const Member* VisualTotal(const Member& base, const std::vector<const Member*>& parts, const std::string& caption);

  // How to compute `member`, which must be calculated (member.calculated set).
  // Throws ComError when a cube formula does not parse.
  const Calculation& CalculationOf(const Member& member);

  // Which of `members` (null entries skipped) computes their cell: the
  // highest solve order; on a tie, the later definition. The one rule for
  // values and formats alike. Throws as CalculationOf does.
  Winner WinnerAt(std::span<const Member* const> members);

 private:
  const Cube& cube_;
  std::vector<std::unique_ptr<CalculatedMemberDef>> definitions_;
  std::vector<std::unique_ptr<Member>> members_;
  std::unordered_map<std::string, const Member*, CaseInsensitiveHash, CaseInsensitiveEqual> by_name_;
  std::unordered_map<const CalculatedMemberDef*, Calculation> calculations_;
  std::vector<std::shared_ptr<const mdx::Node>> cube_formulas_;  // keeps parsed cube formulas alive
  std::vector<std::unique_ptr<Member>> visual_totals_;
  std::unordered_map<std::string, const Member*> visual_totals_by_parts_;
};

}  // namespace orvex::engine
