#pragma once
#include <optional>
#include <vector>

#include "engine/eval/context.h"
#include "engine/eval/value.h"
#include "engine/mdx/ast.h"
#include "engine/model/measure.h"

namespace orvex::engine {

class Evaluator;

// Aggregates over whole levels, and crossjoins of whole levels, answered
// without building the set. Every fact row lies under exactly one member of
// a level, so a sum over all the members of a level is the value at its
// hierarchy's all member: one cell, which the store reads with one grouped
// statement (the other coordinates of the context as filters), where the
// set could hold millions of tuples. Anything these functions cannot answer
// exactly (calculated members, averages and distinct counts, sets of other
// shapes) is nullopt, and the caller takes the general path.

// The levels of `set` when it is written as whole levels crossjoined:
// `L.Members`, `{...}` around one such set, `CrossJoin(a, b, ...)` or
// `a * b`; each level of another hierarchy, none of the measures. nullopt
// for any other set.
std::optional<std::vector<const Level*>> WholeLevelsOf(Evaluator& evaluator, const mdx::Node& set,
                                                        const Context& context);

// The value of an aggregate over whole `levels` of the stored measure named
// by `measure_node` (the context's measure when nullptr), when the measure's
// own aggregator is one of `combinable`. nullopt when the shortcut does not
// apply; else the cell's value, which may be pending like any other cell.
std::optional<Scalar> AggregateOverLevels(Evaluator& evaluator, const std::vector<const Level*>& levels,
                                          const mdx::Node* measure_node, const Context& context,
                                          const std::vector<Aggregator>& combinable);

// How many tuples the crossjoin of whole `levels` holds.
double TupleCountOfLevels(const std::vector<const Level*>& levels);

}  // namespace orvex::engine
