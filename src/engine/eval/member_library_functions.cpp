// Member functions beyond navigation: the data member of a parent and
// ValidMeasure, kept apart from the core navigation in member_functions.cpp.
#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"

namespace orvex::engine {

namespace {

using mdx::Call;

// member.DataMember: the member holding a parent's own facts. Facts here lie
// only under leaves, so a member is its own data member.
Value DataMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalMember(*call.args[0], context);
}

// ValidMeasure(tuple): the tuple's value with the hierarchies its measure
// does not use at their all members. Every measure of a cube here uses every
// dimension of it, so that is the tuple's own value.
Value ValidMeasureFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalScalar(*call.args[0], context);
}

}  // namespace

void AddMemberLibraryFunctions(FunctionTable& table) {
  table.Add("DataMember", {DataMemberFunction, 1, 1, CallForms::kMember});
  table.Add("ValidMeasure", {ValidMeasureFunction, 1, 1, CallForms::kFunction});
}

}  // namespace orvex::engine
