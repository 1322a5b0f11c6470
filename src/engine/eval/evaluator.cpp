#include "engine/eval/evaluator.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "engine/eval/function_table.h"
#include "engine/eval/set_algebra.h"
#include "engine/eval/statement_cache.h"
#include "engine/mdx/lexer.h"
#include "engine/common/engine_error.h"
#include "engine/catalog/member_loader.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

// Deeper than any sensible chain of calculated members: past it a formula
// refers to itself, directly or through others.
constexpr int kMaxFormulaDepth = 128;
// Each statement's tree is at most a few hundred deep, but formulas and named
// sets nest trees inside each other; this bounds the whole stack of an
// evaluation well inside a worker thread's stack, sanitizers' larger frames included.
constexpr int kMaxEvalDepth = 1000;

// Counts one level of nesting while it lives.
class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(++depth) {}
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

std::string KindName(const Value& value) {
  switch (value.index()) {
    case 0: return "a value";
    case 1: return "a member";
    case 2: return "a tuple";
    case 3: return "a set";
    case 4: return "a level";
    case 5: return "a hierarchy";
    default: return "a dimension";
  }
}

}  // namespace

std::string HierarchyList(const std::vector<const Hierarchy*>& hierarchies) {
  std::string text;
  for (const Hierarchy* hierarchy : hierarchies) {
    if (!text.empty()) text += ", ";
    text += hierarchy->unique_name();
  }
  return text.empty() ? "none" : text;
}

Evaluator::Evaluator(const Cube& cube, const mdx::Statement* statement, CalculatedMembers& calculated,
                     NameResolver& names, StatementValues& cells, const EngineOptions& options,
                     StatementBudget& budget)
    : cube_(cube), statement_(statement), calculated_(calculated), names_(names), cells_(cells), options_(options),
      budget_(budget), base_(DefaultContext()) {
  size_t formulas = (statement ? statement->formulas.size() : 0) + cube.named_sets().size();
  named_sets_.resize(formulas);
  evaluating_sets_.resize(formulas, false);
  cube_set_formulas_.resize(cube.named_sets().size());
  axis_sets_.resize(statement ? statement->axes.size() : 0);
}

Context Evaluator::DefaultContext() const {
  Context context(cube_.hierarchies().size());
  for (const Hierarchy* hierarchy : cube_.hierarchies()) context.Set(*hierarchy, DefaultMemberOf(*hierarchy));
  context.Set(cube_.measures_hierarchy(), DefaultMemberOf(cube_.measures_hierarchy()));
  return context;
}

const Member* Evaluator::DefaultMemberOf(const Hierarchy& hierarchy) const {
  if (hierarchy.is_measures() && cube_.default_measure()) return cube_.default_measure();
  return hierarchy.default_member();
}

void Evaluator::Fail(const mdx::Node& at, const std::string& message) const {
  throw EngineError(message + " (at " + mdx::DescribePosition(at.pos) + ")");
}

void Evaluator::CheckSize(size_t tuples, const mdx::Node& at, size_t width) const {
  if (options_.max_cells < 0 || tuples > static_cast<uint64_t>(options_.max_cells)) {
    Fail(at, "The set would hold " + std::to_string(tuples) + " tuples, more than the limit of " +
                 std::to_string(options_.max_cells));
  }
  budget_.CheckTransient(StatementBudget::SetBytes(tuples, width), "a set");
}

void Evaluator::CheckSize(size_t a, size_t b, const mdx::Node& at, size_t width) const {
  size_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) product = std::numeric_limits<size_t>::max();
  CheckSize(product, at, width);
}

std::optional<std::string> Evaluator::FlagOf(const mdx::Node& node) {
  if (node.kind != mdx::NodeKind::kName) return std::nullopt;
  const auto& name = static_cast<const mdx::Name&>(node);
  if (name.parts.size() != 1 || name.parts[0].quoted) return std::nullopt;
  return ToUpper(name.parts[0].text);
}

Value Evaluator::Eval(const mdx::Node& node, const Context& context) {
  budget_.Tick();
  if (eval_depth_ >= kMaxEvalDepth) {
    Fail(node, "The expressions, calculated members and named sets nest more than " + std::to_string(kMaxEvalDepth) +
                   " levels deep");
  }
  DepthGuard guard(eval_depth_);
  switch (node.kind) {
    case mdx::NodeKind::kNumber: return Scalar(static_cast<const mdx::NumberLiteral&>(node).value);
    case mdx::NodeKind::kString: return Scalar(static_cast<const mdx::StringLiteral&>(node).value);
    case mdx::NodeKind::kNull: return Scalar();
    case mdx::NodeKind::kName: return EvalName(static_cast<const mdx::Name&>(node));
    case mdx::NodeKind::kCall: return EvalCall(static_cast<const mdx::Call&>(node), context);
    case mdx::NodeKind::kTuple: return EvalTupleNode(static_cast<const mdx::TupleNode&>(node), context);
    case mdx::NodeKind::kSet: return EvalSetNode(static_cast<const mdx::SetNode&>(node), context);
    case mdx::NodeKind::kUnary: return EvalUnary(static_cast<const mdx::Unary&>(node), context);
    case mdx::NodeKind::kBinary: return EvalBinary(static_cast<const mdx::Binary&>(node), context);
  }
  Fail(node, "Unknown expression");
}

Value Evaluator::EvalName(const mdx::Name& name) {
  const NameTarget& target = names_.Resolve(name);
  if (const auto* member = std::get_if<const Member*>(&target)) return *member;
  if (const auto* level = std::get_if<const Level*>(&target)) return *level;
  if (const auto* hierarchy = std::get_if<const Hierarchy*>(&target)) return *hierarchy;
  if (const auto* dimension = std::get_if<const Dimension*>(&target)) return *dimension;
  return NamedSet(std::get<NamedSetRef>(target), name);
}

template <class Evaluate>
auto Evaluator::InSchemaFormula(const std::string& prefix, bool is_member, Evaluate evaluate)
    -> decltype(evaluate()) {
  try {
    return evaluate();
  } catch (const ComError& error) {
    if (is_member && prefixed_by_member_ && std::current_exception() == prefixed_error_) throw;
    std::exception_ptr prefixed = std::make_exception_ptr(EngineError(prefix + error.description()));
    prefixed_error_ = prefixed;
    prefixed_by_member_ = is_member;
    std::rethrow_exception(prefixed);
  }
}

TupleSet Evaluator::NamedSet(NamedSetRef ref, const mdx::Node& at) {
  size_t index = ref.formula_index;
  if (named_sets_[index]) return *named_sets_[index];
  size_t statement_formulas = statement_ ? statement_->formulas.size() : 0;
  const mdx::Node* expression = nullptr;
  std::string name;
  const engine::NamedSet* cube_set = nullptr;
  if (index < statement_formulas) {
    const mdx::Formula& formula = statement_->formulas[index];
    name = mdx::FormatName(formula.name);
    expression = formula.expression.get();
  } else {
    // A named set of the cube's schema: parsed once per process, by its text.
    size_t cube_index = index - statement_formulas;
    cube_set = &cube_.named_sets()[cube_index];
    name = MemberLoader::Bracket(cube_set->name);
    auto& parsed = cube_set_formulas_[cube_index];
    if (!parsed) {
      try {
        parsed = StatementCache::Shared().Expression(cube_set->formula);
      } catch (const ComError& error) {
        throw EngineError("The formula of the named set " + name + " (schema line " + std::to_string(cube_set->line) +
                          ") does not parse: " + error.description());
      }
    }
    expression = parsed.get();
  }
  if (evaluating_sets_[index]) Fail(at, "The set " + name + " refers to itself");
  if (formula_depth_ >= kMaxFormulaDepth) Fail(at, "Named sets refer to each other more than 128 deep");
  evaluating_sets_[index] = true;
  TupleSet set;
  {
    DepthGuard guard(formula_depth_);
    // Named sets are evaluated once, where the statement starts: at the slicer.
    if (!cube_set) {
      set = EvalSet(*expression, base_);
    } else {
      try {
        set = InSchemaFormula("In the named set " + name + ": ", false, [&] { return EvalSet(*expression, base_); });
      } catch (const ComError&) {
        evaluating_sets_[index] = false;
        throw;
      }
    }
  }
  evaluating_sets_[index] = false;
  budget_.Charge(StatementBudget::SetBytes(set.tuples.size(), set.hierarchies.size()), "a named set");
  named_sets_[index] = std::move(set);
  return *named_sets_[index];
}

TupleSet Evaluator::BuildAxis(size_t number) {
  assert(statement_ && number == axes_built_ && number < statement_->axes.size());
  building_axis_ = number;
  TupleSet set = EvalSet(*statement_->axes[number].set, base_);
  budget_.Charge(StatementBudget::SetBytes(set.tuples.size(), set.hierarchies.size()), "an axis");
  axis_sets_[number] = std::move(set);
  building_axis_.reset();
  axes_built_ = number + 1;
  return *axis_sets_[number];
}

TupleSet Evaluator::AxisSet(int64_t number, const mdx::Node& at) {
  if (!statement_ || number < 0 || static_cast<uint64_t>(number) >= statement_->axes.size()) {
    Fail(at, "The statement has no axis " + std::to_string(number));
  }
  auto index = static_cast<size_t>(number);
  if (index >= axes_built_) {
    if (building_axis_ == index) Fail(at, "Axis(" + std::to_string(number) + ") is used in the set of axis " +
                                              std::to_string(number) + " itself");
    if (building_axis_) {
      Fail(at, "Axis(" + std::to_string(number) + ") is used in the set of axis " + std::to_string(*building_axis_) +
                   ", which is built before it");
    }
    Fail(at, "Axis(" + std::to_string(number) + ") is used before the axes are built (in the WHERE clause)");
  }
  return *axis_sets_[index];
}

Value Evaluator::EvalCall(const mdx::Call& call, const Context& context) {
  const FunctionDef* function = FunctionTable::Instance().Find(call.function, call.style);
  if (!function) {
    std::string written = call.style == mdx::CallStyle::kFunction ? call.function + "()" : "." + call.function;
    Fail(call, "Unknown function " + written);
  }
  int count = static_cast<int>(call.args.size());
  if (count < function->min_args || count > function->max_args) {
    int offset = call.style == mdx::CallStyle::kFunction ? 0 : 1;
    int low = function->min_args - offset;
    int high = function->max_args - offset;
    std::string range = low == high ? std::to_string(low) : std::to_string(low) + " to " + std::to_string(high);
    Fail(call, "The function " + call.function + " takes " + range + " argument" + (high == 1 ? "" : "s") +
                   ", not " + std::to_string(count - offset));
  }
  return function->handler(*this, call, context);
}

Value Evaluator::EvalTupleNode(const mdx::TupleNode& node, const Context& context) {
  Tuple tuple;
  std::vector<const Hierarchy*> hierarchies;
  bool has_null = false;
  for (const mdx::NodePtr& element : node.elements) {
    Value value = Eval(*element, context);
    std::vector<const Member*> members;
    if (const auto* member = std::get_if<const Member*>(&value)) {
      members.push_back(*member);
    } else if (auto* inner = std::get_if<Tuple>(&value)) {
      members = std::move(*inner);
    } else {
      Fail(*element, "A tuple holds members, not " + KindName(value));
    }
    for (const Member* member : members) {
      if (!member) {
        has_null = true;
        continue;
      }
      const Hierarchy* hierarchy = &HierarchyOf(*member);
      if (std::find(hierarchies.begin(), hierarchies.end(), hierarchy) != hierarchies.end()) {
        Fail(*element, "The tuple has two members of the hierarchy " + hierarchy->unique_name());
      }
      hierarchies.push_back(hierarchy);
      tuple.push_back(member);
    }
  }
  // A tuple with a null member is a null tuple: no value, and no place in a set.
  if (has_null) tuple.push_back(nullptr);
  return tuple;
}

Value Evaluator::EvalSetNode(const mdx::SetNode& node, const Context& context) {
  TupleSet result;
  bool typed_by_content = false;
  for (const mdx::NodePtr& element : node.elements) {
    TupleSet part = EvalSet(*element, context);
    if (part.tuples.empty()) {
      if (result.hierarchies.empty()) result.hierarchies = part.hierarchies;
      continue;
    }
    if (!typed_by_content) {
      result.hierarchies = part.hierarchies;
      typed_by_content = true;
    } else if (part.hierarchies != result.hierarchies) {
      Fail(*element, "The set mixes tuples of " + HierarchyList(result.hierarchies) + " with tuples of " +
                         HierarchyList(part.hierarchies));
    }
    result.tuples.insert(result.tuples.end(), std::make_move_iterator(part.tuples.begin()),
                         std::make_move_iterator(part.tuples.end()));
    CheckSize(result.tuples.size(), node);
  }
  return result;
}

Scalar Evaluator::EvalScalar(const mdx::Node& node, const Context& context) {
  return ScalarOf(Eval(node, context), context, node);
}

Scalar Evaluator::ScalarOf(const Value& value, const Context& context, const mdx::Node& at) {
  if (const auto* scalar = std::get_if<Scalar>(&value)) return *scalar;
  if (const auto* member = std::get_if<const Member*>(&value)) {
    if (!*member) return Scalar();
    Context at_member = context;
    at_member.Set(**member);
    return CellValue(at_member);
  }
  if (const auto* tuple = std::get_if<Tuple>(&value)) {
    Context at_tuple = context;
    for (const Member* member : *tuple) {
      if (!member) return Scalar();
      at_tuple.Set(*member);
    }
    return CellValue(at_tuple);
  }
  // A hierarchy stands for its current member, which the context already holds.
  if (std::holds_alternative<const Hierarchy*>(value) || std::holds_alternative<const Dimension*>(value)) {
    return CellValue(context);
  }
  Fail(at, "Expected a value, found " + KindName(value));
}

TupleSet Evaluator::EvalSet(const mdx::Node& node, const Context& context) {
  return SetOf(Eval(node, context), context, node);
}

TupleSet Evaluator::SetOf(Value value, const Context& context, const mdx::Node& at) {
  if (auto* set = std::get_if<TupleSet>(&value)) return std::move(*set);
  TupleSet result;
  if (const auto* member = std::get_if<const Member*>(&value)) {
    if (*member) {
      result.hierarchies.push_back(&HierarchyOf(**member));
      result.tuples.push_back(Tuple{*member});
    }
    return result;
  }
  if (auto* tuple = std::get_if<Tuple>(&value)) {
    if (std::find(tuple->begin(), tuple->end(), nullptr) != tuple->end()) return result;
    for (const Member* member : *tuple) result.hierarchies.push_back(&HierarchyOf(*member));
    result.tuples.push_back(std::move(*tuple));
    return result;
  }
  if (std::holds_alternative<const Hierarchy*>(value) || std::holds_alternative<const Dimension*>(value)) {
    const Hierarchy* hierarchy = std::holds_alternative<const Hierarchy*>(value)
                                     ? std::get<const Hierarchy*>(value)
                                     : std::get<const Dimension*>(value)->hierarchies().front();
    return SetOf(context.Get(*hierarchy), context, at);
  }
  Fail(at, "Expected a set, found " + KindName(value));
}

std::optional<const Member*> Evaluator::MemberOf(const Value& value, const Context& context) {
  if (const auto* member = std::get_if<const Member*>(&value)) return *member;
  if (const auto* hierarchy = std::get_if<const Hierarchy*>(&value)) return context.Get(**hierarchy);
  if (const auto* dimension = std::get_if<const Dimension*>(&value)) {
    return context.Get(*(*dimension)->hierarchies().front());
  }
  if (const auto* tuple = std::get_if<Tuple>(&value); tuple && tuple->size() == 1) return tuple->front();
  return std::nullopt;
}

const Member* Evaluator::EvalMember(const mdx::Node& node, const Context& context) {
  Value value = Eval(node, context);
  if (auto member = MemberOf(value, context)) return *member;
  Fail(node, "Expected a member, found " + KindName(value));
}

Tuple Evaluator::EvalTuple(const mdx::Node& node, const Context& context, std::vector<const Hierarchy*>& hierarchies) {
  Value value = Eval(node, context);
  Tuple tuple;
  if (auto* found = std::get_if<Tuple>(&value)) {
    tuple = std::move(*found);
  } else if (auto* set = std::get_if<TupleSet>(&value); set && set->tuples.size() == 1) {
    hierarchies = set->hierarchies;
    return set->tuples.front();
  } else if (auto member = MemberOf(value, context)) {
    tuple.push_back(*member);
  } else {
    Fail(node, "Expected a member or tuple, found " + KindName(value));
  }
  hierarchies.clear();
  for (const Member* member : tuple) {
    if (member) hierarchies.push_back(&HierarchyOf(*member));
  }
  return tuple;
}

const Level* Evaluator::EvalLevel(const mdx::Node& node, const Context& context) {
  Value value = Eval(node, context);
  if (const auto* level = std::get_if<const Level*>(&value)) return *level;
  Fail(node, "Expected a level, found " + KindName(value));
}

const Hierarchy* Evaluator::EvalHierarchy(const mdx::Node& node, const Context& context) {
  Value value = Eval(node, context);
  if (const auto* hierarchy = std::get_if<const Hierarchy*>(&value)) return *hierarchy;
  if (const auto* dimension = std::get_if<const Dimension*>(&value)) return (*dimension)->hierarchies().front();
  if (const auto* level = std::get_if<const Level*>(&value)) return &(*level)->hierarchy();
  if (const auto* member = std::get_if<const Member*>(&value); member && *member) return &HierarchyOf(**member);
  Fail(node, "Expected a hierarchy, found " + KindName(value));
}

int64_t Evaluator::EvalInteger(const mdx::Node& node, const Context& context) {
  double number = EvalNumber(node, context);
  if (std::isnan(number)) Fail(node, "Expected a whole number, found NaN");
  // Clamped before the conversion: casting a double out of int64's range is undefined.
  number = std::clamp(std::trunc(number), -static_cast<double>(kMaxInteger), static_cast<double>(kMaxInteger));
  return static_cast<int64_t>(number);
}

double Evaluator::EvalNumber(const mdx::Node& node, const Context& context) {
  Scalar value = EvalScalar(node, context);
  if (auto number = NumberOf(value)) return *number;
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (auto parsed = ParseNumber(*text)) return *parsed;
  }
  Fail(node, "Expected a number");
}

bool Evaluator::EvalCondition(const mdx::Node& node, const Context& context) {
  Scalar value = EvalScalar(node, context);
  if (const auto* truth = std::get_if<bool>(&value)) return *truth;
  if (auto number = NumberOf(value)) return *number != 0;
  if (IsEmpty(value)) return false;
  const std::string& text = std::get<std::string>(value);
  if (EqualsIgnoreCase(text, "true")) return true;
  if (EqualsIgnoreCase(text, "false")) return false;
  Fail(node, "Expected a condition, found the text '" + text + "'");
}

TupleFilter Evaluator::FilterOf(const TupleSet& set, const mdx::Node& at) {
  std::vector<size_t> order(set.hierarchies.size());
  for (size_t index = 0; index < order.size(); ++index) {
    if (set.hierarchies[index]->is_measures()) Fail(at, "A set of tuples to aggregate over cannot hold measures");
    order[index] = index;
  }
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return set.hierarchies[a]->index() < set.hierarchies[b]->index(); });
  TupleFilter filter;
  for (size_t index : order) filter.hierarchies.push_back(set.hierarchies[index]->index());
  for (const Tuple& tuple : set.tuples) {
    std::vector<const Member*> sorted;
    for (size_t index : order) {
      const Member* member = tuple[index];
      if (!member) Fail(at, "A set of tuples to aggregate over names a member that does not exist");
      if (member->calculated) {
        Fail(at, "A set of tuples to aggregate over cannot hold the calculated member " + member->unique_name);
      }
      sorted.push_back(member);
    }
    filter.tuples.push_back(std::move(sorted));
  }
  filter.Normalize();
  return filter;
}

std::optional<Scalar> Evaluator::RestrictedRollup(const Context& context) {
  const Member* partial = nullptr;
  for (const Member* member : context.coordinate()) {
    if (member->rollup == RollupPolicy::kHidden) return Scalar();
    if (member->rollup == RollupPolicy::kPartial && !partial) partial = member;
  }
  if (!partial) return std::nullopt;
  // The cell holds only what the role shows: its visible children combined.
  // A measure whose parts do not combine (an average, a distinct count) has
  // no value here rather than one that counts hidden rows.
  const Aggregator aggregator = context.measure()->measure->aggregator;
  if (aggregator == Aggregator::kAvg || aggregator == Aggregator::kDistinctCount) return Scalar();
  Context child_context = context;
  std::optional<CellNumber> total;
  for (const Member* child : partial->children()) {
    child_context.Set(*child);
    Scalar value = CellValue(child_context);
    if (IsEmpty(value)) continue;
    CellNumber number;
    if (const auto* exact = std::get_if<Decimal>(&value)) {
      number = *exact;
    } else if (const auto* inexact = std::get_if<double>(&value)) {
      number = *inexact;
    } else {
      return Scalar();
    }
    if (!total) {
      total = number;
    } else if (aggregator == Aggregator::kMin) {
      if (Compare(number, *total) < 0) total = number;
    } else if (aggregator == Aggregator::kMax) {
      if (Compare(number, *total) > 0) total = number;
    } else {
      total = Add(*total, number);
    }
  }
  return total ? ToScalar(*total) : Scalar();
}

Scalar Evaluator::CellValue(const Context& context) {
  budget_.Tick();
  const auto& members = context.all();
  // A coordinate with a null member has no cell.
  if (std::find(members.begin(), members.end(), nullptr) != members.end()) return Scalar();
  const Winner found = calculated_.WinnerAt(members);
  const Member* winner = found.member;
  const Calculation* winning = found.calculation;
  if (winning) {
    if (formula_depth_ >= kMaxFormulaDepth) {
      throw EngineError("The calculated member " + winner->unique_name +
                           " refers to itself, directly or through other calculated members.");
    }
    DepthGuard guard(formula_depth_);
    if (IsStatementMember(*winner)) return EvalScalar(*winning->formula, context);
    // Places in a formula of the cube's schema are places in that formula: say whose.
    return InSchemaFormula("In the formula of " + winner->unique_name + ": ", true,
                           [&] { return EvalScalar(*winning->formula, context); });
  }
  const Member* measure = context.measure();
  if (!measure->measure) return Scalar();
  if (std::optional<Scalar> rolled_up = RestrictedRollup(context)) return *rolled_up;
  // Under a role the measure is the restricted cube's; the reader knows the base cube's.
  const Member* stored = measure->stored ? measure->stored : measure;
  const engine::CellValue* value = nullptr;
  if (const TupleFilter* filter = context.filter()) {
    if (filter->tuples.empty()) return Scalar();
    // The filter's hierarchies are read over its tuples, not at their members.
    Coordinate coordinate(context.coordinate().begin(), context.coordinate().end());
    for (int32_t index : filter->hierarchies) coordinate[static_cast<size_t>(index)] = nullptr;
    value = cells_.Find(*stored->measure, coordinate, filter);
  } else {
    value = cells_.Find(*stored->measure, context.coordinate());
  }
  if (!value || !*value) return Scalar();
  return ToScalar(**value);
}

}  // namespace orvex::engine
