// Functions that return values: aggregates over sets, conditions, and the
// names of members and other objects.
#include <cmath>

#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"
#include "engine/eval/level_aggregates.h"
#include "engine/model/level.h"
#include "engine/store/row_set.h"
#include "platform/com/variant.h"
#include "platform/text.h"

namespace orvex::engine {

namespace {

using mdx::Call;

// Calls `visit` with the value at every tuple of the set: the optional
// expression's value, else the cell value there.
template <class Visit>
void ForEachValue(Evaluator& evaluator, const Call& call, const Context& context, Visit visit) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  Context at = context;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    visit(call.args.size() > 1 ? evaluator.EvalScalar(*call.args[1], at) : evaluator.CellValue(at));
  }
}

// A value to add up: decimals stay exact, so that a sum over a set gives the
// same figure whatever order its tuples come in.
std::optional<CellNumber> NumberIn(Evaluator& evaluator, const Call& call, const Scalar& value) {
  if (IsEmpty(value)) return std::nullopt;
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* exact = std::get_if<Decimal>(&value)) return *exact;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? 1.0 : 0.0;
  if (auto parsed = ParseNumber(std::get<std::string>(value))) return *parsed;
  evaluator.Fail(call, call.function + " needs numbers, not the text '" + std::get<std::string>(value) + "'");
}

// The aggregate over whole levels read as one cell, when the measure's own
// aggregator gives the same answer as `call` would over every tuple.
std::optional<Scalar> OverWholeLevels(Evaluator& evaluator, const Call& call, const Context& context,
                                      const std::vector<Aggregator>& combinable) {
  auto levels = WholeLevelsOf(evaluator, *call.args[0], context);
  if (!levels) return std::nullopt;
  return AggregateOverLevels(evaluator, *levels, call.args.size() > 1 ? call.args[1].get() : nullptr, context,
                             combinable);
}

// Sum of the values; empty when every value is.
Value SumFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (auto value = OverWholeLevels(evaluator, call, context, {Aggregator::kSum, Aggregator::kCount})) return *value;
  std::optional<CellNumber> total;
  ForEachValue(evaluator, call, context, [&](const Scalar& value) {
    if (auto number = NumberIn(evaluator, call, value)) total = total ? Add(*total, *number) : *number;
  });
  return total ? ToScalar(*total) : Scalar();
}

Value AvgFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::optional<CellNumber> total;
  int count = 0;
  ForEachValue(evaluator, call, context, [&](const Scalar& value) {
    if (auto number = NumberIn(evaluator, call, value)) {
      total = total ? Add(*total, *number) : *number;
      ++count;
    }
  });
  return count ? Scalar(ToDouble(*total) / count) : Scalar();
}

template <class Better>
Value Extreme(Evaluator& evaluator, const Call& call, const Context& context, Better better) {
  std::optional<CellNumber> best;
  ForEachValue(evaluator, call, context, [&](const Scalar& value) {
    auto number = NumberIn(evaluator, call, value);
    if (number && (!best || better(Compare(*number, *best)))) best = number;
  });
  return best ? ToScalar(*best) : Scalar();
}

Value MinFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (auto value = OverWholeLevels(evaluator, call, context, {Aggregator::kMin})) return *value;
  return Extreme(evaluator, call, context, [](int order) { return order < 0; });
}

Value MaxFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (auto value = OverWholeLevels(evaluator, call, context, {Aggregator::kMax})) return *value;
  return Extreme(evaluator, call, context, [](int order) { return order > 0; });
}

// Count(set[, EXCLUDEEMPTY | INCLUDEEMPTY]) and set.Count: the number of
// tuples, or of tuples with a value.
Value CountFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  bool exclude_empty = false;
  if (call.args.size() > 1) {
    auto flag = Evaluator::FlagOf(*call.args[1]);
    if (flag != "EXCLUDEEMPTY" && flag != "INCLUDEEMPTY") {
      evaluator.Fail(*call.args[1], "Expected EXCLUDEEMPTY or INCLUDEEMPTY");
    }
    exclude_empty = flag == "EXCLUDEEMPTY";
  }
  if (!exclude_empty) {
    if (auto levels = WholeLevelsOf(evaluator, *call.args[0], context)) return Scalar(TupleCountOfLevels(*levels));
  }
  Value object = evaluator.Eval(*call.args[0], context);
  if (const auto* tuple = std::get_if<Tuple>(&object); tuple && !exclude_empty) {
    return Scalar(static_cast<double>(tuple->size()));
  }
  TupleSet set = evaluator.SetOf(std::move(object), context, *call.args[0]);
  if (!exclude_empty) return Scalar(static_cast<double>(set.tuples.size()));
  double count = 0;
  Context at = context;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    if (!IsEmpty(evaluator.CellValue(at))) ++count;
  }
  return Scalar(count);
}

// Aggregate combines the values as the measure does: sums for sum and count,
// least and greatest for min and max; a distinct count is read once over all
// the tuples' fact rows. Averages cannot be combined from their parts, so
// over more than one tuple they fail.
Value AggregateFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (auto value = OverWholeLevels(evaluator, call, context,
                                   {Aggregator::kSum, Aggregator::kCount, Aggregator::kMin, Aggregator::kMax})) {
    return *value;
  }
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  Context at = context;
  const Member* measure = context.measure();
  if (call.args.size() > 1 && call.args[1]->kind == mdx::NodeKind::kName) {
    // With a measure as the expression, that measure decides how values combine.
    Value expression = evaluator.Eval(*call.args[1], context);
    if (const auto* given = std::get_if<const Member*>(&expression); given && *given && (*given)->level &&
                                                                     HierarchyOf(**given).is_measures()) {
      measure = *given;
    }
  }
  for (const Hierarchy* hierarchy : set.hierarchies) {
    if (hierarchy->is_measures()) measure = nullptr;
  }
  const AggregatorInfo& aggregator =
      InfoOf(measure && measure->measure ? measure->measure->aggregator : Aggregator::kSum);
  if (aggregator.aggregator == Aggregator::kDistinctCount && set.tuples.size() > 1) {
    // Counted once over the fact rows of every tuple together: a value found
    // under two tuples is one value, so the counts cannot just be added.
    Context over = context;
    over.SetFilter(evaluator.FilterOf(set, call), set.hierarchies,
                   static_cast<size_t>(evaluator.options().max_cells));
    return call.args.size() > 1 ? evaluator.EvalScalar(*call.args[1], over) : evaluator.CellValue(over);
  }
  if (!aggregator.rolls_up() && set.tuples.size() > 1) {
    evaluator.Fail(call, "Aggregate cannot combine the values of " + measure->unique_name +
                             " over several tuples: its values do not add up");
  }
  std::optional<CellNumber> result;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    Scalar value = call.args.size() > 1 ? evaluator.EvalScalar(*call.args[1], at) : evaluator.CellValue(at);
    auto number = NumberIn(evaluator, call, value);
    if (!number) continue;
    if (!result) {
      result = number;
    } else {
      aggregator.combine(*result, *number);
    }
  }
  return result ? ToScalar(*result) : Scalar();
}

Value IIfFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.Eval(*call.args[evaluator.EvalCondition(*call.args[0], context) ? 1 : 2], context);
}

Value CoalesceEmptyFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  for (const mdx::NodePtr& arg : call.args) {
    Scalar value = evaluator.EvalScalar(*arg, context);
    if (!IsEmpty(value)) return value;
  }
  return Scalar();
}

Value IsEmptyFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(IsEmpty(evaluator.EvalScalar(*call.args[0], context)));
}

// Name, UniqueName and Caption of a member, level, hierarchy or dimension.
enum class Label { kName, kUniqueName, kCaption };

Value LabelOf(Evaluator& evaluator, const Call& call, const Context& context, Label label) {
  Value object = evaluator.Eval(*call.args[0], context);
  auto pick = [&](const std::string& name, const std::string& unique_name, const std::string& caption) {
    return Scalar(label == Label::kName ? name : label == Label::kUniqueName ? unique_name : caption);
  };
  if (const auto* member = std::get_if<const Member*>(&object)) {
    if (!*member) return Scalar(std::string());
    return pick((*member)->name, (*member)->unique_name, (*member)->caption);
  }
  if (const auto* level = std::get_if<const Level*>(&object)) {
    return pick((*level)->name(), (*level)->unique_name(), (*level)->caption());
  }
  if (const auto* hierarchy = std::get_if<const Hierarchy*>(&object)) {
    return pick((*hierarchy)->name(), (*hierarchy)->unique_name(), (*hierarchy)->caption());
  }
  if (const auto* dimension = std::get_if<const Dimension*>(&object)) {
    return pick((*dimension)->name(), (*dimension)->unique_name(), (*dimension)->caption());
  }
  evaluator.Fail(call, "." + call.function + " needs a member, level, hierarchy or dimension");
}

Value NameFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return LabelOf(evaluator, call, context, Label::kName);
}

Value UniqueNameFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return LabelOf(evaluator, call, context, Label::kUniqueName);
}

Value CaptionFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return LabelOf(evaluator, call, context, Label::kCaption);
}

// level.Ordinal: the level's depth; member.Ordinal: the member's 0-based place
// among its level's members (-1 for a calculated member, which has none).
Value OrdinalFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Value object = evaluator.Eval(*call.args[0], context);
  if (const auto* level = std::get_if<const Level*>(&object)) return Scalar(static_cast<double>((*level)->depth()));
  if (const auto* member = std::get_if<const Member*>(&object)) {
    if (!*member) return Scalar();
    if ((*member)->calculated || IsStatementMember(**member)) return Scalar(-1.0);
    return Scalar(static_cast<double>((*member)->index_in_level));
  }
  evaluator.Fail(*call.args[0], "Ordinal: argument 1 must be a member or a level");
}

// A member property's value as a cell shows it: numbers and truth values for
// Numeric, Integer and Boolean properties, text otherwise.
Scalar PropertyScalar(LevelProperty::Type type, const KeyValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return Scalar();
  double number = 0;
  switch (type) {
    case LevelProperty::Type::kNumeric:
    case LevelProperty::Type::kInteger:
      if (ToDouble(value, number)) return Scalar(number);
      break;
    case LevelProperty::Type::kBoolean: {
      if (ToDouble(value, number)) return Scalar(number != 0);
      std::string text = ToLower(ToText(value));
      if (text == "true" || text == "t") return Scalar(true);
      if (text == "false" || text == "f") return Scalar(false);
      break;
    }
    default:
      break;
  }
  return Scalar(ToText(value));
}

// member.Properties("name"): a property the schema declares on the member's
// level, or one every member has (KEY, NAME, CAPTION, MEMBER_UNIQUE_NAME, ...).
// With or without TYPED the value has the property's type: a number compared
// with a number in Filter should not turn into a comparison of texts.
Value PropertiesFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (call.args.size() > 2 && Evaluator::FlagOf(*call.args[2]) != "TYPED") {
    evaluator.Fail(*call.args[2], "Properties: argument 3 must be TYPED");
  }
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  std::string name = ScalarText(evaluator.EvalScalar(*call.args[1], context));
  if (!member) return Scalar();
  std::string upper = ToUpper(name);
  if (upper == "KEY") {
    if (std::holds_alternative<std::monostate>(member->key)) return Scalar();
    double number = 0;
    if (ToDouble(member->key, number)) return Scalar(number);
    return Scalar(ToText(member->key));
  }
  if (upper == "NAME" || upper == "MEMBER_NAME") return Scalar(member->name);
  if (upper == "CAPTION" || upper == "MEMBER_CAPTION") return Scalar(member->caption);
  if (upper == "MEMBER_UNIQUE_NAME") return Scalar(member->unique_name);
  if (upper == "LEVEL_NUMBER") return Scalar(static_cast<double>(member->depth()));
  if (upper == "LEVEL_UNIQUE_NAME") return Scalar(member->level->unique_name());
  if (upper == "HIERARCHY_UNIQUE_NAME") return Scalar(member->level->hierarchy().unique_name());
  if (upper == "CHILDREN_CARDINALITY") return Scalar(static_cast<double>(member->children().size()));
  if (upper == "PARENT_UNIQUE_NAME") return Scalar(member->parent ? member->parent->unique_name : std::string());
  const auto& declared = member->level->properties();
  for (size_t index = 0; index < declared.size(); ++index) {
    if (!EqualsIgnoreCase(declared[index].name, name)) continue;
    return index < member->properties.size() ? PropertyScalar(declared[index].type, member->properties[index])
                                              : Scalar();
  }
  // A property of another level of the hierarchy is empty here; one no level has is a mistake.
  for (const auto& level : member->level->hierarchy().levels()) {
    for (const auto& property : level->properties()) {
      if (EqualsIgnoreCase(property.name, name)) return Scalar();
    }
  }
  evaluator.Fail(call, "The member " + member->unique_name + " has no property '" + name + "'");
}

Value ValueFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalScalar(*call.args[0], context);
}

}  // namespace

void AddValueFunctions(FunctionTable& table) {
  table.Add("Sum", {SumFunction, 1, 2, CallForms::kFunction});
  table.Add("Avg", {AvgFunction, 1, 2, CallForms::kFunction});
  table.Add("Min", {MinFunction, 1, 2, CallForms::kFunction});
  table.Add("Max", {MaxFunction, 1, 2, CallForms::kFunction});
  table.Add("Count", {CountFunction, 1, 2, CallForms::kBoth});
  table.Add("Aggregate", {AggregateFunction, 1, 2, CallForms::kFunction});
  table.Add("IIf", {IIfFunction, 3, 3, CallForms::kFunction});
  table.Add("CoalesceEmpty", {CoalesceEmptyFunction, 1, 16, CallForms::kFunction});
  table.Add("IsEmpty", {IsEmptyFunction, 1, 1, CallForms::kFunction});
  table.Add("Name", {NameFunction, 1, 1, CallForms::kMember});
  table.Add("UniqueName", {UniqueNameFunction, 1, 1, CallForms::kMember});
  table.Add("Caption", {CaptionFunction, 1, 1, CallForms::kMember});
  table.Add("Ordinal", {OrdinalFunction, 1, 1, CallForms::kMember});
  table.Add("Value", {ValueFunction, 1, 1, CallForms::kMember});
  table.Add("Properties", {PropertiesFunction, 2, 3, CallForms::kMember});
}

}  // namespace orvex::engine
