// Numeric functions: arithmetic of one value (Abs, Round, Int, ...), the
// statistics of values over a set (Median, Var, Stdev, Covariance,
// Correlation, the linear regression), DistinctCount and Rank. Values over a
// set are read cell by cell from what the pass has fetched; the cells are
// gathered into grouped store reads between passes.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

using mdx::Call;

// The number at argument `index`; nullopt when it is empty. Text that is no
// number fails, naming the function and the argument.
std::optional<double> NumberArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  Scalar value = evaluator.EvalScalar(*call.args[index], context);
  if (IsEmpty(value)) return std::nullopt;
  if (auto number = NumberOf(value)) return number;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? -1.0 : 0.0;  // VBA's True is -1
  if (auto parsed = ParseNumber(std::get<std::string>(value))) return parsed;
  evaluator.Fail(*call.args[index], call.function + " needs a number as argument " + std::to_string(index + 1) +
                                        ", not the text '" + std::get<std::string>(value) + "'");
}

// Halves go to the even neighbour, as Round and CInt do in the references.
double RoundHalfEven(double value, int digits) {
  double scale = std::pow(10.0, digits);
  double scaled = value * scale;
  if (!std::isfinite(scaled)) return value;
  double rounded = std::nearbyint(scaled);  // the default rounding mode rounds halves to even
  return rounded / scale;
}

template <class Apply>
Value Unary(Evaluator& evaluator, const Call& call, const Context& context, Apply apply) {
  auto number = NumberArgument(evaluator, call, 0, context);
  if (!number) return Scalar();
  return Scalar(apply(*number));
}

Value AbsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Unary(evaluator, call, context, [](double x) { return std::fabs(x); });
}

Value IntFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Unary(evaluator, call, context, [](double x) { return std::floor(x); });
}

Value FixFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Unary(evaluator, call, context, [](double x) { return std::trunc(x); });
}

Value SgnFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Unary(evaluator, call, context, [](double x) { return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0; });
}

Value ExpFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Unary(evaluator, call, context, [](double x) { return std::exp(x); });
}

Value SqrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto number = NumberArgument(evaluator, call, 0, context);
  if (!number) return Scalar();
  if (*number < 0) evaluator.Fail(call, "Sqr of the negative number " + FormatNumber(*number));
  return Scalar(std::sqrt(*number));
}

Value LogFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto number = NumberArgument(evaluator, call, 0, context);
  if (!number) return Scalar();
  if (*number <= 0) evaluator.Fail(call, "Log of " + FormatNumber(*number) + ", which is not above 0");
  return Scalar(std::log(*number));
}

Value RoundFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto number = NumberArgument(evaluator, call, 0, context);
  if (!number) return Scalar();
  int64_t digits = call.args.size() > 1 ? evaluator.EvalInteger(*call.args[1], context) : 0;
  if (digits < 0 || digits > 15) evaluator.Fail(*call.args[1], "Round takes 0 to 15 decimal places");
  return Scalar(RoundHalfEven(*number, static_cast<int>(digits)));
}

Value CIntFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto number = NumberArgument(evaluator, call, 0, context);
  if (!number) return Scalar(0.0);
  if (std::fabs(*number) > 2147483647.5) evaluator.Fail(call, "CInt: " + FormatNumber(*number) + " is out of range");
  return Scalar(RoundHalfEven(*number, 0));
}

Value CDblFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto number = NumberArgument(evaluator, call, 0, context);
  return Scalar(number.value_or(0.0));
}

// The numbers of an expression over a set: the optional expression at
// `expression_index`, else the cell, at every tuple; empty values left out.
std::vector<double> ValuesOver(Evaluator& evaluator, const Call& call, const Context& context,
                               size_t expression_index) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::vector<double> values;
  Context at = context;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    Scalar value = call.args.size() > expression_index ? evaluator.EvalScalar(*call.args[expression_index], at)
                                                       : evaluator.CellValue(at);
    if (auto number = NumberOf(value)) values.push_back(*number);
  }
  return values;
}

Value MedianFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::vector<double> values = ValuesOver(evaluator, call, context, 1);
  if (values.empty()) return Scalar();
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  if (values.size() % 2 == 1) return Scalar(values[middle]);
  return Scalar((values[middle - 1] + values[middle]) / 2);
}

// The variance about the mean; over n - 1 for a sample, n for a population.
std::optional<double> Variance(const std::vector<double>& values, bool population) {
  size_t divisor = population ? values.size() : values.size() - (values.empty() ? 0 : 1);
  if (values.empty() || divisor == 0) return std::nullopt;
  double mean = 0;
  for (double value : values) mean += value;
  mean /= static_cast<double>(values.size());
  double squares = 0;
  for (double value : values) squares += (value - mean) * (value - mean);
  return squares / static_cast<double>(divisor);
}

Value VarFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto variance = Variance(ValuesOver(evaluator, call, context, 1), false);
  return variance ? Scalar(*variance) : Scalar();
}

Value VarPFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto variance = Variance(ValuesOver(evaluator, call, context, 1), true);
  return variance ? Scalar(*variance) : Scalar();
}

Value StdevFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto variance = Variance(ValuesOver(evaluator, call, context, 1), false);
  return variance ? Scalar(std::sqrt(*variance)) : Scalar();
}

Value StdevPFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto variance = Variance(ValuesOver(evaluator, call, context, 1), true);
  return variance ? Scalar(std::sqrt(*variance)) : Scalar();
}

// Pairs (x, y) over a set for the two-variable statistics: y from the
// expression at `y_index`, x from the one after it, else the cell of the
// current measure. Tuples where either is empty are left out.
struct Pairs {
  std::vector<double> x;
  std::vector<double> y;
};

Pairs PairsOver(Evaluator& evaluator, const Call& call, const Context& context, size_t set_index, size_t y_index) {
  TupleSet set = evaluator.EvalSet(*call.args[set_index], context);
  Pairs pairs;
  Context at = context;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    auto y = NumberOf(evaluator.EvalScalar(*call.args[y_index], at));
    auto x = NumberOf(call.args.size() > y_index + 1 ? evaluator.EvalScalar(*call.args[y_index + 1], at)
                                                     : evaluator.CellValue(at));
    if (!x || !y) continue;
    pairs.x.push_back(*x);
    pairs.y.push_back(*y);
  }
  return pairs;
}

struct Moments {
  double n = 0, mean_x = 0, mean_y = 0, sxx = 0, syy = 0, sxy = 0;
};

Moments MomentsOf(const Pairs& pairs) {
  Moments m;
  m.n = static_cast<double>(pairs.x.size());
  if (pairs.x.empty()) return m;
  for (size_t index = 0; index < pairs.x.size(); ++index) {
    m.mean_x += pairs.x[index];
    m.mean_y += pairs.y[index];
  }
  m.mean_x /= m.n;
  m.mean_y /= m.n;
  for (size_t index = 0; index < pairs.x.size(); ++index) {
    double dx = pairs.x[index] - m.mean_x;
    double dy = pairs.y[index] - m.mean_y;
    m.sxx += dx * dx;
    m.syy += dy * dy;
    m.sxy += dx * dy;
  }
  return m;
}

// Covariance is over n (the population), as the references define it;
// CovarianceN over n - 1.
Value CovarianceFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Moments m = MomentsOf(PairsOver(evaluator, call, context, 0, 1));
  if (m.n == 0) return Scalar();
  return Scalar(m.sxy / m.n);
}

Value CovarianceNFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Moments m = MomentsOf(PairsOver(evaluator, call, context, 0, 1));
  if (m.n < 2) return Scalar();
  return Scalar(m.sxy / (m.n - 1));
}

Value CorrelationFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Moments m = MomentsOf(PairsOver(evaluator, call, context, 0, 1));
  if (m.n == 0 || m.sxx == 0 || m.syy == 0) return Scalar();
  return Scalar(m.sxy / std::sqrt(m.sxx * m.syy));
}

// y = slope * x + intercept by least squares; nullopt without two distinct x.
struct Line {
  double slope = 0, intercept = 0;
};

std::optional<Line> Regression(const Moments& m) {
  if (m.n == 0 || m.sxx == 0) return std::nullopt;
  Line line;
  line.slope = m.sxy / m.sxx;
  line.intercept = m.mean_y - line.slope * m.mean_x;
  return line;
}

Value LinRegSlopeFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto line = Regression(MomentsOf(PairsOver(evaluator, call, context, 0, 1)));
  return line ? Scalar(line->slope) : Scalar();
}

Value LinRegInterceptFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto line = Regression(MomentsOf(PairsOver(evaluator, call, context, 0, 1)));
  return line ? Scalar(line->intercept) : Scalar();
}

Value LinRegR2Function(Evaluator& evaluator, const Call& call, const Context& context) {
  Moments m = MomentsOf(PairsOver(evaluator, call, context, 0, 1));
  if (m.n == 0 || m.sxx == 0 || m.syy == 0) return Scalar();
  return Scalar(m.sxy * m.sxy / (m.sxx * m.syy));
}

// The variance of the residuals about the line, over n.
Value LinRegVarianceFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Pairs pairs = PairsOver(evaluator, call, context, 0, 1);
  auto line = Regression(MomentsOf(pairs));
  if (!line) return Scalar();
  double squares = 0;
  for (size_t index = 0; index < pairs.x.size(); ++index) {
    double residual = pairs.y[index] - (line->slope * pairs.x[index] + line->intercept);
    squares += residual * residual;
  }
  return Scalar(squares / static_cast<double>(pairs.x.size()));
}

// LinRegPoint(x, set, y[, x expression]): the line's value at x.
Value LinRegPointFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  auto x = NumberArgument(evaluator, call, 0, context);
  auto line = Regression(MomentsOf(PairsOver(evaluator, call, context, 1, 2)));
  if (!x || !line) return Scalar();
  return Scalar(line->slope * *x + line->intercept);
}

// The number of distinct tuples of the set with a value.
Value DistinctCountFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::unordered_set<Tuple, TupleHash> seen;
  Context at = context;
  for (const Tuple& tuple : set.tuples) {
    if (seen.count(tuple)) continue;
    at.SetTuple(tuple, set.hierarchies);
    Scalar value = call.args.size() > 1 ? evaluator.EvalScalar(*call.args[1], at) : evaluator.CellValue(at);
    if (!IsEmpty(value)) seen.insert(tuple);
  }
  return Scalar(static_cast<double>(seen.size()));
}

// True when `node`, as a set, is the same at every cell: built from names of
// members, levels and named sets, literals and the functions that only walk
// the member trees. Anything that reads a current member or a value is not.
bool IsFixedSet(Evaluator& evaluator, const mdx::Node& node, const Context& context) {
  static const char* const kFlags[] = {"ALL", "POST", "SELF", "AFTER", "BEFORE", "SELF_AND_AFTER",
                                       "SELF_AND_BEFORE", "SELF_BEFORE_AFTER", "LEAVES"};
  static const char* const kWalks[] = {"Members", "AllMembers", "Children", "Descendants", "CrossJoin",
                                       "Union", "Intersect", "Except", "Distinct", "Hierarchize",
                                       "Siblings", "FirstChild", "LastChild", "Parent"};
  switch (node.kind) {
    case mdx::NodeKind::kNumber:
    case mdx::NodeKind::kString:
    case mdx::NodeKind::kNull: return true;
    case mdx::NodeKind::kName: {
      if (auto flag = Evaluator::FlagOf(node)) {
        for (const char* known : kFlags) {
          if (*flag == known) return true;
        }
      }
      // A hierarchy or dimension stands for its current member.
      Value value = evaluator.Eval(node, context);
      return !std::holds_alternative<const Hierarchy*>(value) && !std::holds_alternative<const Dimension*>(value) &&
             !std::holds_alternative<Scalar>(value);
    }
    case mdx::NodeKind::kSet:
      for (const auto& element : static_cast<const mdx::SetNode&>(node).elements) {
        if (!IsFixedSet(evaluator, *element, context)) return false;
      }
      return true;
    case mdx::NodeKind::kTuple:
      for (const auto& element : static_cast<const mdx::TupleNode&>(node).elements) {
        if (!IsFixedSet(evaluator, *element, context)) return false;
      }
      return true;
    case mdx::NodeKind::kBinary: {
      const auto& binary = static_cast<const mdx::Binary&>(node);
      return IsFixedSet(evaluator, *binary.left, context) && IsFixedSet(evaluator, *binary.right, context);
    }
    case mdx::NodeKind::kCall: {
      const auto& call = static_cast<const Call&>(node);
      bool walks = false;
      for (const char* known : kWalks) walks = walks || EqualsIgnoreCase(call.function, known);
      if (!walks) return false;
      for (const auto& arg : call.args) {
        if (!IsFixedSet(evaluator, *arg, context)) return false;
      }
      return true;
    }
    default: return false;
  }
}

// The ranks of every tuple of a set by an expression, made once per pass
// for a set that is the same at every cell, so that ranking each of n tuples
// costs a lookup rather than n evaluations.
struct RankTable {
  bool usable = true;  // false where a value is not a number, which no order ranks as Rank does
  std::vector<const Hierarchy*> hierarchies;
  std::unordered_map<Tuple, double, TupleHash> ranks;
};

std::shared_ptr<const RankTable> MakeRankTable(Evaluator& evaluator, const Call& call, const Context& context) {
  auto table = std::make_shared<RankTable>();
  TupleSet set = evaluator.EvalSet(*call.args[1], context);
  table->hierarchies = set.hierarchies;
  Context at = context;
  std::vector<std::pair<std::optional<double>, size_t>> values;
  values.reserve(set.tuples.size());
  for (size_t index = 0; index < set.tuples.size(); ++index) {
    if (table->ranks.count(set.tuples[index])) continue;  // a repeat ranks as its first occurrence
    at.SetTuple(set.tuples[index], set.hierarchies);
    values.emplace_back(NumberOf(evaluator.EvalScalar(*call.args[2], at)), index);
    if (values.back().first && std::isnan(*values.back().first)) {
      table->usable = false;
      return table;
    }
    table->ranks.emplace(set.tuples[index], 0);
  }
  // Highest first, empty values last; a tuple's rank is 1 + the number of tuples of higher value.
  std::stable_sort(values.begin(), values.end(), [](const auto& a, const auto& b) {
    if (!a.first || !b.first) return a.first.has_value() && !b.first.has_value();
    return *a.first > *b.first;
  });
  // Every tuple, repeats included, counts among those ranked above.
  std::unordered_map<Tuple, size_t, TupleHash> occurrences;
  for (const Tuple& tuple : set.tuples) ++occurrences[tuple];
  size_t above = 0;
  for (size_t place = 0; place < values.size();) {
    size_t end = place;
    size_t tied = 0;
    while (end < values.size() && values[end].first == values[place].first) {
      tied += occurrences[set.tuples[values[end].second]];
      ++end;
    }
    for (size_t index = place; index < end; ++index) {
      // An empty value ranks below every number: 1 + the count of tuples with a value.
      table->ranks[set.tuples[values[index].second]] = static_cast<double>(above + 1);
    }
    above += tied;
    place = end;
  }
  return table;
}

Value RankBySearch(Evaluator& evaluator, const Call& call, const Context& context, const Tuple& tuple,
                   const std::vector<const Hierarchy*>& hierarchies);

// Rank(tuple, set[, expression]): the tuple's 1-based place in the set (0
// when absent); with an expression, 1 + the number of tuples whose value is
// greater, so that ties share a rank and the next rank skips. An empty value
// ranks below every number.
Value RankFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::vector<const Hierarchy*> hierarchies;
  Tuple tuple = evaluator.EvalTuple(*call.args[0], context, hierarchies);
  if (std::find(tuple.begin(), tuple.end(), nullptr) != tuple.end()) return Scalar(0.0);
  if (call.args.size() > 2 && context.filter() == evaluator.base_context().filter()) {
    // The values at the set's tuples depend on the cell only through the
    // hierarchies the set does not set, so those are the key.
    std::vector<const Member*> key = context.all();
    for (const Hierarchy* hierarchy : hierarchies) {
      if (!hierarchy->is_measures()) key[static_cast<size_t>(hierarchy->index())] = nullptr;
      if (hierarchy->is_measures()) key.back() = nullptr;
    }
    auto& fixed = evaluator.Memo(*call.args[1], {});
    if (!fixed) fixed = std::make_shared<bool>(IsFixedSet(evaluator, *call.args[1], evaluator.base_context()));
    if (*std::static_pointer_cast<bool>(fixed)) {
      auto& memo = evaluator.Memo(call, key);
      if (!memo) memo = std::const_pointer_cast<RankTable>(MakeRankTable(evaluator, call, context));
      const auto& table = *std::static_pointer_cast<const RankTable>(memo);
      if (!table.usable) return RankBySearch(evaluator, call, context, tuple, hierarchies);
      if (table.hierarchies.size() != hierarchies.size()) return Scalar(0.0);
      Tuple ordered;
      for (const Hierarchy* hierarchy : table.hierarchies) {
        auto found = std::find(hierarchies.begin(), hierarchies.end(), hierarchy);
        if (found == hierarchies.end()) return Scalar(0.0);
        ordered.push_back(tuple[static_cast<size_t>(found - hierarchies.begin())]);
      }
      auto rank = table.ranks.find(ordered);
      return Scalar(rank == table.ranks.end() ? 0.0 : rank->second);
    }
  }
  return RankBySearch(evaluator, call, context, tuple, hierarchies);
}

// Rank the long way: the set evaluated at this cell and searched.
Value RankBySearch(Evaluator& evaluator, const Call& call, const Context& context, const Tuple& tuple,
                   const std::vector<const Hierarchy*>& hierarchies) {
  TupleSet set = evaluator.EvalSet(*call.args[1], context);
  // The tuple as the set orders its hierarchies.
  Tuple ordered;
  for (const Hierarchy* hierarchy : set.hierarchies) {
    auto found = std::find(hierarchies.begin(), hierarchies.end(), hierarchy);
    if (found == hierarchies.end()) return Scalar(0.0);
    ordered.push_back(tuple[static_cast<size_t>(found - hierarchies.begin())]);
  }
  if (ordered.size() != tuple.size()) return Scalar(0.0);
  auto position = std::find(set.tuples.begin(), set.tuples.end(), ordered);
  if (position == set.tuples.end()) return Scalar(0.0);
  if (call.args.size() < 3) return Scalar(static_cast<double>(position - set.tuples.begin() + 1));
  Context at = context;
  auto value_at = [&](const Tuple& member_tuple) {
    at.SetTuple(member_tuple, set.hierarchies);
    return NumberOf(evaluator.EvalScalar(*call.args[2], at));
  };
  std::optional<double> own = value_at(ordered);
  double rank = 1;
  for (const Tuple& other : set.tuples) {
    std::optional<double> value = value_at(other);
    if (value && (!own || *value > *own)) ++rank;
  }
  return Scalar(rank);
}

}  // namespace

void AddNumericFunctions(FunctionTable& table) {
  table.Add("Abs", {AbsFunction, 1, 1, CallForms::kFunction});
  table.Add("Int", {IntFunction, 1, 1, CallForms::kFunction});
  table.Add("Fix", {FixFunction, 1, 1, CallForms::kFunction});
  table.Add("Sgn", {SgnFunction, 1, 1, CallForms::kFunction});
  table.Add("Sqr", {SqrFunction, 1, 1, CallForms::kFunction});
  table.Add("Exp", {ExpFunction, 1, 1, CallForms::kFunction});
  table.Add("Log", {LogFunction, 1, 1, CallForms::kFunction});
  table.Add("Round", {RoundFunction, 1, 2, CallForms::kFunction});
  table.Add("CInt", {CIntFunction, 1, 1, CallForms::kFunction});
  table.Add("CDbl", {CDblFunction, 1, 1, CallForms::kFunction});
  table.Add("Median", {MedianFunction, 1, 2, CallForms::kFunction});
  table.Add("Var", {VarFunction, 1, 2, CallForms::kFunction});
  table.Add("Variance", {VarFunction, 1, 2, CallForms::kFunction});
  table.Add("VarP", {VarPFunction, 1, 2, CallForms::kFunction});
  table.Add("VarianceP", {VarPFunction, 1, 2, CallForms::kFunction});
  table.Add("Stdev", {StdevFunction, 1, 2, CallForms::kFunction});
  table.Add("Stddev", {StdevFunction, 1, 2, CallForms::kFunction});
  table.Add("StdevP", {StdevPFunction, 1, 2, CallForms::kFunction});
  table.Add("StddevP", {StdevPFunction, 1, 2, CallForms::kFunction});
  table.Add("Covariance", {CovarianceFunction, 2, 3, CallForms::kFunction});
  table.Add("CovarianceN", {CovarianceNFunction, 2, 3, CallForms::kFunction});
  table.Add("Correlation", {CorrelationFunction, 2, 3, CallForms::kFunction});
  table.Add("LinRegSlope", {LinRegSlopeFunction, 2, 3, CallForms::kFunction});
  table.Add("LinRegIntercept", {LinRegInterceptFunction, 2, 3, CallForms::kFunction});
  table.Add("LinRegR2", {LinRegR2Function, 2, 3, CallForms::kFunction});
  table.Add("LinRegVariance", {LinRegVarianceFunction, 2, 3, CallForms::kFunction});
  table.Add("LinRegPoint", {LinRegPointFunction, 3, 4, CallForms::kFunction});
  table.Add("DistinctCount", {DistinctCountFunction, 1, 2, CallForms::kFunction});
  table.Add("Rank", {RankFunction, 2, 3, CallForms::kFunction});
}

}  // namespace orvex::engine
