#include "engine/eval/query_executor.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "engine/eval/calculated_members.h"
#include "engine/eval/statement_values.h"
#include "engine/eval/evaluator.h"
#include "engine/eval/format_string.h"
#include "engine/eval/name_resolver.h"
#include "engine/eval/result_cache.h"
#include "engine/eval/statement_cache.h"
#include "engine/mdx/lexer.h"
#include "engine/common/engine_error.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

// Each pass can only add values read; a statement needing more rounds than
// this has values that decide which other values it needs, many levels deep.
constexpr int kMaxPasses = 16;
// Calculated measures that name no format take one from the measures they use, this deep.
constexpr int kMaxFormatDepth = 16;

// What the members of a result refer to besides the catalog's: the
// statement's own calculated members. The catalog is pinned by the pointer
// handed out (see Pinned), so that a kept result does not keep it loaded.
struct ResultOwner {
  std::shared_ptr<const mdx::Statement> statement;
  std::unique_ptr<CalculatedMembers> members;
};

// The format string of cells of a measure: its own, else for a calculated
// measure the first measure its formula names, followed as deep as needed.
class FormatFinder {
 public:
  FormatFinder(CalculatedMembers& members, NameResolver& names) : members_(members), names_(names) {}

  const std::string& FormatOf(const Member* member, int depth = 0) {
    static const std::string kNone;
    if (!member || depth > kMaxFormatDepth) return kNone;
    auto found = formats_.find(member);
    if (found != formats_.end()) return found->second;
    std::string format;
    if (member->measure) {
      format = member->measure->format_string;
    } else if (member->calculated) {
      const Calculation& calculation = members_.CalculationOf(*member);
      format = calculation.format_string.empty() ? FormatOf(FirstMeasure(*calculation.formula), depth + 1)
                                                 : calculation.format_string;
    }
    return formats_.emplace(member, std::move(format)).first->second;
  }

 private:
  const Member* FirstMeasure(const mdx::Node& node) {
    if (node.kind == mdx::NodeKind::kName) {
      auto target = names_.Find(static_cast<const mdx::Name&>(node).parts);
      if (target) {
        if (const auto* member = std::get_if<const Member*>(&*target);
            member && *member && HierarchyOf(**member).is_measures()) {
          return *member;
        }
      }
      return nullptr;
    }
    auto first_of = [&](const std::vector<mdx::NodePtr>& nodes) -> const Member* {
      for (const auto& child : nodes) {
        if (const Member* member = FirstMeasure(*child)) return member;
      }
      return nullptr;
    };
    switch (node.kind) {
      case mdx::NodeKind::kCall: return first_of(static_cast<const mdx::Call&>(node).args);
      case mdx::NodeKind::kTuple: return first_of(static_cast<const mdx::TupleNode&>(node).elements);
      case mdx::NodeKind::kSet: return first_of(static_cast<const mdx::SetNode&>(node).elements);
      case mdx::NodeKind::kUnary: return FirstMeasure(*static_cast<const mdx::Unary&>(node).operand);
      case mdx::NodeKind::kBinary: {
        const auto& binary = static_cast<const mdx::Binary&>(node);
        if (const Member* member = FirstMeasure(*binary.left)) return member;
        return FirstMeasure(*binary.right);
      }
      default: return nullptr;
    }
  }

  CalculatedMembers& members_;
  NameResolver& names_;
  std::unordered_map<const Member*, std::string> formats_;
};

// Calls `visit` with a context for every combination of positions of `axes`
// (the first varying fastest), starting from `base`. Returns early when
// `visit` returns false.
template <class Visit>
void ForEachCombination(const std::vector<const AxisResult*>& axes, Context base, Visit visit) {
  for (const AxisResult* axis : axes) {
    if (axis->positions.empty()) return;
  }
  std::vector<size_t> at(axes.size(), 0);
  for (size_t index = 0; index < axes.size(); ++index) base.SetTuple(axes[index]->positions[0], axes[index]->hierarchies);
  while (true) {
    if (!visit(base)) return;
    size_t axis = 0;
    while (axis < axes.size()) {
      if (++at[axis] < axes[axis]->positions.size()) {
        base.SetTuple(axes[axis]->positions[at[axis]], axes[axis]->hierarchies);
        break;
      }
      at[axis] = 0;
      base.SetTuple(axes[axis]->positions[0], axes[axis]->hierarchies);
      ++axis;
    }
    if (axis == axes.size()) return;
  }
}

// One statement's evaluation, run pass after pass until no value is pending.
class StatementRun {
 public:
  StatementRun(const Cube& cube, const mdx::Statement& statement, CalculatedMembers& members, NameResolver& names,
               StatementValues& cells, const EngineOptions& options, StatementBudget& budget)
      : cube_(cube), statement_(statement), members_(members), names_(names), cells_(cells), options_(options),
        budget_(budget), formats_(members, names) {}

  // The result, or nullopt when the pass met values not read yet.
  std::optional<CellSet> Pass() {
    Evaluator evaluator(cube_, &statement_, members_, names_, cells_, options_, budget_);
    evaluator.set_base_context(SlicerContext(evaluator));
    std::vector<AxisResult> axes = EvaluateAxes(evaluator);
    if (cells_.HasPending()) return std::nullopt;
    DropEmptyPositions(evaluator, axes);
    if (cells_.HasPending()) return std::nullopt;
    CellSet result;
    result.cells = ComputeCells(evaluator, axes, result.styles);
    result.cell_properties = statement_.cell_properties;
    if (cells_.HasPending()) return std::nullopt;
    result.filter_axis = FilterAxis(evaluator.base_context(), axes);
    if (const TupleFilter* slicer = evaluator.base_context().filter()) {
      result.slicer_filter = std::make_shared<const TupleFilter>(*slicer);
    }
    result.axes = std::move(axes);
    return result;
  }

 private:
  Context SlicerContext(Evaluator& evaluator) {
    Context context = evaluator.DefaultContext();
    if (!statement_.slicer) return context;
    const mdx::Node& slicer = *statement_.slicer;
    Value value = evaluator.Eval(slicer, context);
    if (auto* set = std::get_if<TupleSet>(&value)) {
      if (set->tuples.size() == 1) {
        context.SetTuple(set->tuples.front(), set->hierarchies);
        return context;
      }
      // A compound slicer: every cell aggregates over its tuples, read with
      // one condition on the fact rows.
      context.SetFilter(evaluator.FilterOf(*set, slicer), set->hierarchies, static_cast<size_t>(options_.max_cells));
      return context;
    }
    std::vector<const Hierarchy*> hierarchies;
    Tuple tuple = evaluator.EvalTuple(slicer, context, hierarchies);
    if (std::find(tuple.begin(), tuple.end(), nullptr) != tuple.end()) {
      evaluator.Fail(slicer, "The WHERE clause names a member that does not exist");
    }
    context.SetTuple(tuple, hierarchies);
    return context;
  }

  std::vector<AxisResult> EvaluateAxes(Evaluator& evaluator) {
    std::vector<AxisResult> axes;
    std::vector<const Hierarchy*> used;
    for (size_t number = 0; number < statement_.axes.size(); ++number) {
      const mdx::AxisClause& clause = statement_.axes[number];
      TupleSet set = evaluator.BuildAxis(number);
      for (const Hierarchy* hierarchy : set.hierarchies) {
        if (std::find(used.begin(), used.end(), hierarchy) != used.end()) {
          evaluator.Fail(*clause.set, "The hierarchy " + hierarchy->unique_name() + " is on more than one axis");
        }
        used.push_back(hierarchy);
      }
      axes.push_back(AxisResult{std::move(set.hierarchies), std::move(set.tuples)});
    }
    return axes;
  }

  void CheckCellCount(const std::vector<AxisResult>& axes) const {
    double cells = 1;
    for (const AxisResult& axis : axes) cells *= static_cast<double>(axis.positions.size());
    if (cells > static_cast<double>(options_.max_cells)) {
      // As text from the double: the product may be past any integer type.
      throw EngineError("The statement would compute " + FormatNumber(cells) +
                           " cells, more than the limit of " + std::to_string(options_.max_cells) +
                           "; ask for fewer positions.");
    }
  }

  // NON EMPTY: a position stays when any of its cells, across every position
  // of the other axes, has a value. Positions dropped from one axis have no
  // value anywhere, so the axes can be filtered in any order.
  void DropEmptyPositions(Evaluator& evaluator, std::vector<AxisResult>& axes) {
    bool any = std::any_of(statement_.axes.begin(), statement_.axes.end(),
                           [](const mdx::AxisClause& clause) { return clause.non_empty; });
    if (!any) return;
    CheckCellCount(axes);
    std::vector<std::vector<char>> keep(axes.size());
    for (size_t number = 0; number < axes.size(); ++number) {
      if (!statement_.axes[number].non_empty) continue;
      std::vector<const AxisResult*> others;
      for (size_t other = 0; other < axes.size(); ++other) {
        if (other != number) others.push_back(&axes[other]);
      }
      const AxisResult& axis = axes[number];
      keep[number].resize(axis.positions.size(), 0);
      for (size_t position = 0; position < axis.positions.size(); ++position) {
        Context context = evaluator.base_context();
        context.SetTuple(axis.positions[position], axis.hierarchies);
        bool kept = false;
        ForEachCombination(others, context, [&](const Context& cell) {
          kept = !IsEmpty(evaluator.CellValue(cell));
          return !kept;
        });
        keep[number][position] = kept;
      }
    }
    for (size_t number = 0; number < axes.size(); ++number) {
      if (!statement_.axes[number].non_empty) continue;
      std::vector<Tuple> kept;
      for (size_t position = 0; position < axes[number].positions.size(); ++position) {
        if (keep[number][position]) kept.push_back(std::move(axes[number].positions[position]));
      }
      axes[number].positions = std::move(kept);
    }
  }

  std::vector<CellResult> ComputeCells(Evaluator& evaluator, const std::vector<AxisResult>& axes,
                                       std::vector<CellStyle>& styles) {
    bool styled = std::any_of(statement_.cell_properties.begin(), statement_.cell_properties.end(),
                              [](const std::string& name) {
                                return name == "FORMAT_STRING" || name == "FORE_COLOR" || name == "BACK_COLOR";
                              });
    CheckCellCount(axes);
    int64_t count = 1;
    for (const AxisResult& axis : axes) count *= static_cast<int64_t>(axis.positions.size());
    // A cell keeps its value and its formatted text.
    constexpr int64_t kPerCell = static_cast<int64_t>(sizeof(CellResult)) + 16;
    budget_.CheckTransient(count * kPerCell, "the cells");
    std::vector<const AxisResult*> all;
    for (const AxisResult& axis : axes) all.push_back(&axis);
    std::vector<CellResult> cells;
    ForEachCombination(all, evaluator.base_context(), [&](const Context& context) {
      Scalar value = evaluator.CellValue(context);
      const Calculation* winning = members_.WinnerAt(context.all()).calculation;
      std::string format = FormatAt(evaluator, winning, context);
      std::string formatted = IsEmpty(value) ? "" : FormatCellValue(value, format);
      cells.push_back(CellResult{std::move(value), std::move(formatted)});
      if (styled) {
        CellStyle style{std::move(format), Scalar(), Scalar()};
        if (winning && winning->fore_color) style.fore_color = evaluator.EvalScalar(*winning->fore_color, context);
        if (winning && winning->back_color) style.back_color = evaluator.EvalScalar(*winning->back_color, context);
        styles.push_back(std::move(style));
      }
      return true;
    });
    return cells;
  }

  // The format of a cell: that of the winning calculated member when it names
  // one (a format written as an expression is evaluated at the cell), else its measure's.
  std::string FormatAt(Evaluator& evaluator, const Calculation* winning, const Context& context) {
    if (winning && winning->format_expression) {
      return ScalarText(evaluator.EvalScalar(*winning->format_expression, context));
    }
    if (winning && !winning->format_string.empty()) return winning->format_string;
    return formats_.FormatOf(context.measure());
  }

  AxisResult FilterAxis(const Context& base, const std::vector<AxisResult>& axes) const {
    std::vector<const Hierarchy*> on_axes;
    for (const AxisResult& axis : axes) on_axes.insert(on_axes.end(), axis.hierarchies.begin(), axis.hierarchies.end());
    AxisResult filter;
    Tuple position;
    auto add = [&](const Hierarchy& hierarchy) {
      if (std::find(on_axes.begin(), on_axes.end(), &hierarchy) != on_axes.end()) return;
      if (!hierarchy.accessible()) return;  // hidden by the connection's role
      filter.hierarchies.push_back(&hierarchy);
      position.push_back(base.Get(hierarchy));
    };
    add(cube_.measures_hierarchy());
    for (const Hierarchy* hierarchy : cube_.hierarchies()) add(*hierarchy);
    filter.positions.push_back(std::move(position));
    return filter;
  }

  const Cube& cube_;
  const mdx::Statement& statement_;
  CalculatedMembers& members_;
  NameResolver& names_;
  StatementValues& cells_;
  const EngineOptions& options_;
  StatementBudget& budget_;
  FormatFinder formats_;
};

// `result` as its callers get it: a pointer that also keeps `catalog`, whose members it names, alive.
std::shared_ptr<const CellSet> Pinned(std::shared_ptr<const Catalog> catalog, std::shared_ptr<const CellSet> result) {
  struct Holder {
    std::shared_ptr<const Catalog> catalog;
    std::shared_ptr<const CellSet> result;
  };
  auto holder = std::make_shared<const Holder>(Holder{std::move(catalog), std::move(result)});
  const CellSet* cells = holder->result.get();
  return std::shared_ptr<const CellSet>(holder, cells);
}

// What besides the text decides an answer: the limits a run must keep to.
std::string ResultKey(std::string_view mdx, const EngineOptions& options) {
  std::string key = std::to_string(options.max_cells) + " " + std::to_string(options.max_statement_memory) + "\n";
  key += mdx;
  return key;
}

}  // namespace

std::shared_ptr<const CellSet> QueryExecutor::Execute(std::string_view mdx) const {
  if (!options_.cache_results) return Execute(StatementCache::Shared().Statement(mdx));
  std::string key = ResultKey(mdx, options_);
  if (auto kept = ResultCache::Shared().Find(catalog_, key)) return Pinned(catalog_, std::move(kept));
  std::shared_ptr<const CellSet> result = RunTrimmed(StatementCache::Shared().Statement(mdx));
  ResultCache::Shared().Put(catalog_, key, result);
  return Pinned(catalog_, std::move(result));
}

std::shared_ptr<const CellSet> QueryExecutor::Execute(std::shared_ptr<const mdx::Statement> statement) const {
  return Pinned(catalog_, RunTrimmed(std::move(statement)));
}

std::shared_ptr<const CellSet> QueryExecutor::ExecuteSelect(std::shared_ptr<const mdx::Statement> statement) const {
  return Pinned(catalog_, RunBudgeted(std::move(statement)));
}

std::shared_ptr<const CellSet> QueryExecutor::RunTrimmed(std::shared_ptr<const mdx::Statement> statement) const {
  if (statement->drillthrough) {
    throw EngineError("A DRILLTHROUGH statement answers with fact rows, not cells; run it as a drill-through.");
  }
  return RunBudgeted(std::move(statement));
}

std::shared_ptr<const CellSet> QueryExecutor::RunBudgeted(std::shared_ptr<const mdx::Statement> statement) const {
  try {
    return Run(std::move(statement));
  } catch (const ComError&) {
    // A statement stopped by its budget may have held hundreds of megabytes,
    // now freed; hand them back to the system rather than keep the process
    // at its peak until some later statement reuses them.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    throw;
  }
}

std::shared_ptr<const CellSet> QueryExecutor::Run(std::shared_ptr<const mdx::Statement> statement) const {
  if (statement->cube.size() != 1) {
    throw EngineError("The cube " + mdx::FormatName(statement->cube) + " at " +
                         mdx::DescribePosition(statement->cube_pos) + " does not exist.");
  }
  const Cube& cube = catalog_->FindCube(statement->cube.front().text);
  auto owner = std::make_shared<ResultOwner>();
  owner->statement = statement;
  owner->members = std::make_unique<CalculatedMembers>(cube);
  NameResolver names(cube, *owner->members, statement.get());
  owner->members->AddStatementMembers(*statement, names);
  StatementBudget budget(options_.query_timeout, options_.max_statement_memory);
  // Calculations may read several stored values per cell, but not without bound.
  StatementValues cells(static_cast<size_t>(options_.max_cells) * 2, &budget);
  StatementRun run(cube, *statement, *owner->members, names, cells, options_, budget);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    std::optional<CellSet> result = run.Pass();
    if (result) {
      result->owner = owner;
      return std::make_shared<const CellSet>(std::move(*result));
    }
    try {
      cells.FetchPending(cube.cells());
    } catch (const ComError&) {
      // The store stopped its statement because the time was up: say which limit that was.
      if (budget.TimeIsUp()) budget.FailTime();
      throw;
    }
    budget.CheckTime();
  }
  throw EngineError("The statement needs more than " + std::to_string(kMaxPasses) +
                       " rounds of reading cells, each deciding what the next reads; simplify it.");
}

}  // namespace orvex::engine
