#include "engine/eval/calculated_members.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "engine/eval/name_resolver.h"
#include "engine/eval/statement_cache.h"
#include "engine/eval/value.h"
#include "engine/mdx/lexer.h"
#include "engine/common/engine_error.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

// Statement members of the measures sort after every measure of the cube.
constexpr int32_t kStatementMeasureOrder = std::numeric_limits<int32_t>::max() / 2;

// A number written with its sign (SOLVE_ORDER = -1); nullopt for any other expression.
std::optional<double> SignedNumber(const mdx::Node& node) {
  if (node.kind == mdx::NodeKind::kNumber) return static_cast<const mdx::NumberLiteral&>(node).value;
  if (node.kind != mdx::NodeKind::kUnary) return std::nullopt;
  const auto& unary = static_cast<const mdx::Unary&>(node);
  if (unary.op == mdx::UnaryOp::kNot || unary.operand->kind != mdx::NodeKind::kNumber) return std::nullopt;
  double number = static_cast<const mdx::NumberLiteral&>(*unary.operand).value;
  return unary.op == mdx::UnaryOp::kMinus ? -number : number;
}

std::string LiteralText(const mdx::FormulaProperty& property, const std::string& member_name) {
  if (property.value->kind == mdx::NodeKind::kString) return static_cast<const mdx::StringLiteral&>(*property.value).value;
  if (auto number = SignedNumber(*property.value)) return FormatNumber(*number);
  throw EngineError("The property " + property.name + " of " + member_name + " at " +
                       mdx::DescribePosition(property.value->pos) + " must be a string or a number.");
}

}  // namespace

void CalculatedMembers::AddStatementMembers(const mdx::Statement& statement, NameResolver& names) {
  int sequence = 0;
  for (const mdx::Formula& formula : statement.formulas) {
    if (formula.kind != mdx::Formula::Kind::kMember) continue;
    std::string unique_name = mdx::FormatName(formula.name);
    if (formula.name.size() < 2) {
      throw EngineError("The calculated member " + unique_name + " at " + mdx::DescribePosition(formula.pos) +
                           " needs its hierarchy in its name, as in [Measures].[Name].");
    }
    if (by_name_.count(unique_name)) throw EngineError("The member " + unique_name + " is defined twice.");

    std::vector<mdx::NamePart> parent_path(formula.name.begin(), formula.name.end() - 1);
    std::optional<NameTarget> parent_target = names.Find(parent_path);
    const Hierarchy* hierarchy = nullptr;
    const Member* parent = nullptr;
    if (parent_target) {
      if (const auto* member = std::get_if<const Member*>(&*parent_target)) {
        if (!IsStatementMember(**member)) {
          parent = *member;
          hierarchy = &HierarchyOf(*parent);
        }
      } else if (const auto* found = std::get_if<const Hierarchy*>(&*parent_target)) {
        hierarchy = *found;
      } else if (const auto* dimension = std::get_if<const Dimension*>(&*parent_target)) {
        hierarchy = (*dimension)->hierarchies().front();
      }
    }
    if (!hierarchy) {
      throw EngineError("The calculated member " + unique_name + " at " + mdx::DescribePosition(formula.pos) +
                           ": " + mdx::FormatName(parent_path) + " is not a hierarchy or member of the cube '" +
                           cube_.name() + "'.");
    }
    // A member defined on a hierarchy with an all member sits under it, like the real top members.
    if (!parent && !hierarchy->is_measures()) parent = hierarchy->all_member();

    auto definition = std::make_unique<CalculatedMemberDef>();
    definition->name = formula.name.back().text;
    definition->unique_name = unique_name;
    definition->caption = definition->name;
    definition->formula = mdx::ToText(*formula.expression);
    definition->hierarchy = hierarchy;
    Calculation calculation{formula.expression.get(), 0, sequence++, ""};
    for (const mdx::FormulaProperty& property : formula.properties) {
      bool is_format = EqualsIgnoreCase(property.name, "FORMAT_STRING") || EqualsIgnoreCase(property.name, "FORMAT");
      bool is_color = EqualsIgnoreCase(property.name, "FORE_COLOR") || EqualsIgnoreCase(property.name, "BACK_COLOR");
      bool literal = property.value->kind == mdx::NodeKind::kString || property.value->kind == mdx::NodeKind::kNumber;
      if (is_color) {
        (EqualsIgnoreCase(property.name, "FORE_COLOR") ? calculation.fore_color : calculation.back_color) =
            property.value.get();
        continue;
      }
      if (is_format && !literal) {
        // A format that depends on the cell, as IIf(... , '0%', '#,##0').
        calculation.format_expression = property.value.get();
        continue;
      }
      std::string text = LiteralText(property, unique_name);
      if (is_format) {
        calculation.format_string = text;
      } else if (EqualsIgnoreCase(property.name, "SOLVE_ORDER")) {
        auto number = ParseNumber(text);
        if (!number) throw EngineError("The SOLVE_ORDER of " + unique_name + " must be a number.");
        // ParseNumber gives only finite numbers; clamped, as casting one past int's range is undefined.
        calculation.solve_order = static_cast<int>(std::clamp(*number, -1e9, 1e9));
      } else if (EqualsIgnoreCase(property.name, "CAPTION")) {
        definition->caption = text;
      }
    }
    definition->format_string = calculation.format_string;

    auto member = std::make_unique<Member>();
    member->name = definition->name;
    member->caption = definition->caption;
    member->unique_name = unique_name;
    member->parent = parent;
    const auto& levels = hierarchy->levels();
    size_t depth = parent ? static_cast<size_t>(parent->depth()) + 1 : 0;
    member->level = levels[std::min(depth, levels.size() - 1)].get();
    member->order = parent ? parent->order : kStatementMeasureOrder + calculation.sequence;
    member->index_in_level = -1;
    member->calculated = definition.get();

    calculations_.emplace(definition.get(), calculation);
    by_name_.emplace(unique_name, member.get());
    definitions_.push_back(std::move(definition));
    members_.push_back(std::move(member));
  }
}

const Member* CalculatedMembers::Find(std::string_view unique_name) const {
  auto found = by_name_.find(unique_name);
  return found == by_name_.end() ? nullptr : found->second;
}

std::vector<const Member*> CalculatedMembers::MembersOf(const Hierarchy& hierarchy) const {
  // The cube's own first, as its schema defines them; then the statement's.
  std::vector<const Member*> result;
  if (!hierarchy.is_measures()) result = hierarchy.CalculatedMembers();
  for (const auto& member : members_) {
    if (&HierarchyOf(*member) == &hierarchy) result.push_back(member.get());
  }
  return result;
}

const Member* CalculatedMembers::VisualTotal(const Member& base, const std::vector<const Member*>& parts,
                                             const std::string& caption) {
  std::string formula = "Aggregate({";
  for (size_t index = 0; index < parts.size(); ++index) formula += (index ? ", " : "") + parts[index]->unique_name;
  formula += "})";
  std::string key = base.unique_name + "\n" + caption + "\n" + formula;
  auto found = visual_totals_by_parts_.find(key);
  if (found != visual_totals_by_parts_.end()) return found->second;
  std::shared_ptr<const mdx::Node> parsed = StatementCache::Shared().Expression(formula);
  auto definition = std::make_unique<CalculatedMemberDef>();
  definition->name = base.name;
  definition->unique_name = base.unique_name;
  definition->caption = caption.empty() ? base.caption : caption;
  definition->formula = formula;
  definition->hierarchy = &HierarchyOf(base);
  auto member = std::make_unique<Member>(base);
  member->caption = definition->caption;
  member->index_in_level = -1;
  member->calculated = definition.get();
  member->measure = nullptr;
  // After every calculated member of the statement, so that on equal solve
  // orders the total is taken over whatever the others compute at the parts.
  calculations_.emplace(definition.get(),
                        Calculation{parsed.get(), 0, std::numeric_limits<int>::max() / 2, base.calculated ? base.calculated->format_string : ""});
  cube_formulas_.push_back(std::move(parsed));
  definitions_.push_back(std::move(definition));
  const Member* result = member.get();
  visual_totals_.push_back(std::move(member));
  visual_totals_by_parts_.emplace(std::move(key), result);
  return result;
}

const Calculation& CalculatedMembers::CalculationOf(const Member& member) {
  const CalculatedMemberDef* definition = member.calculated;
  auto found = calculations_.find(definition);
  if (found != calculations_.end()) return found->second;
  // A member of the cube's schema: parsed once per process, by its text.
  std::shared_ptr<const mdx::Node> formula;
  try {
    formula = StatementCache::Shared().Expression(definition->formula);
  } catch (const ComError& error) {
    throw EngineError("The formula of the calculated member " + definition->unique_name +
                         " does not parse: " + error.description());
  }
  // In schema order, not in the order of first use, so that a tie is decided
  // the same way in every statement; all before the statement's own.
  int sequence = std::numeric_limits<int>::min() / 2 + definition->schema_order;
  cube_formulas_.push_back(formula);
  return calculations_.emplace(definition, Calculation{formula.get(), definition->solve_order, sequence, definition->format_string})
      .first->second;
}

Winner CalculatedMembers::WinnerAt(std::span<const Member* const> members) {
  Winner winner;
  for (const Member* member : members) {
    if (!member || !member->calculated) continue;
    const Calculation& calculation = CalculationOf(*member);
    const Calculation* best = winner.calculation;
    if (!best || calculation.solve_order > best->solve_order ||
        (calculation.solve_order == best->solve_order && calculation.sequence > best->sequence)) {
      winner = Winner{member, &calculation};
    }
  }
  return winner;
}

}  // namespace orvex::engine
