#include "engine/eval/level_aggregates.h"

#include <algorithm>

#include "engine/eval/evaluator.h"
#include "platform/text.h"

namespace orvex::engine {

namespace {

// Members lists leave calculated members out; so does the count of a level.
size_t ListedMembers(const Level& level) {
  return static_cast<size_t>(std::count_if(level.members().begin(), level.members().end(),
                                           [](const Member* member) { return !member->calculated; }));
}

bool CollectLevels(Evaluator& evaluator, const mdx::Node& node, const Context& context,
                   std::vector<const Level*>& levels) {
  switch (node.kind) {
    case mdx::NodeKind::kSet: {
      const auto& set = static_cast<const mdx::SetNode&>(node);
      return set.elements.size() == 1 && CollectLevels(evaluator, *set.elements[0], context, levels);
    }
    case mdx::NodeKind::kBinary: {
      const auto& binary = static_cast<const mdx::Binary&>(node);
      return binary.op == mdx::BinaryOp::kMultiply && CollectLevels(evaluator, *binary.left, context, levels) &&
             CollectLevels(evaluator, *binary.right, context, levels);
    }
    case mdx::NodeKind::kCall: {
      const auto& call = static_cast<const mdx::Call&>(node);
      std::string function = ToUpper(call.function);
      if (call.style == mdx::CallStyle::kFunction && function == "CROSSJOIN") {
        return std::all_of(call.args.begin(), call.args.end(),
                           [&](const mdx::NodePtr& arg) { return CollectLevels(evaluator, *arg, context, levels); });
      }
      if (call.style != mdx::CallStyle::kProperty || function != "MEMBERS" || call.args.size() != 1) return false;
      Value object = evaluator.Eval(*call.args[0], context);
      const auto* level = std::get_if<const Level*>(&object);
      if (!level || !*level) return false;
      const Hierarchy& hierarchy = (*level)->hierarchy();
      if (hierarchy.is_measures() || !hierarchy.all_member()) return false;
      // Under a role the all member's cell may hold members the role hides.
      if (hierarchy.all_member()->stored) return false;
      for (const Level* other : levels) {
        if (&other->hierarchy() == &hierarchy) return false;
      }
      levels.push_back(*level);
      return true;
    }
    default: return false;
  }
}

}  // namespace

std::optional<std::vector<const Level*>> WholeLevelsOf(Evaluator& evaluator, const mdx::Node& set,
                                                        const Context& context) {
  std::vector<const Level*> levels;
  if (!CollectLevels(evaluator, set, context, levels) || levels.empty()) return std::nullopt;
  return levels;
}

std::optional<Scalar> AggregateOverLevels(Evaluator& evaluator, const std::vector<const Level*>& levels,
                                          const mdx::Node* measure_node, const Context& context,
                                          const std::vector<Aggregator>& combinable) {
  Context at = context;
  if (measure_node) {
    if (measure_node->kind != mdx::NodeKind::kName) return std::nullopt;
    Value value = evaluator.Eval(*measure_node, context);
    const auto* member = std::get_if<const Member*>(&value);
    if (!member || !*member || !HierarchyOf(**member).is_measures()) return std::nullopt;
    at.Set(**member);
  }
  for (const Level* level : levels) {
    // An empty level has no tuples to add up: the general path gives its (empty) answer.
    if (ListedMembers(*level) == 0) return std::nullopt;
    at.Set(level->hierarchy(), level->hierarchy().all_member());
  }
  // A calculated member anywhere in the cell could win there and compute
  // something that does not add up; so could a measure that is not stored.
  for (const Member* member : at.all()) {
    if (!member || member->calculated) return std::nullopt;
  }
  const Member* measure = at.measure();
  if (!measure->measure ||
      std::find(combinable.begin(), combinable.end(), measure->measure->aggregator) == combinable.end()) {
    return std::nullopt;
  }
  return evaluator.CellValue(at);
}

double TupleCountOfLevels(const std::vector<const Level*>& levels) {
  double count = 1;
  for (const Level* level : levels) count *= static_cast<double>(ListedMembers(*level));
  return count;
}

}  // namespace orvex::engine
