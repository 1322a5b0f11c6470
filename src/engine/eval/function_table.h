#pragma once
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/eval/value.h"
#include "engine/mdx/ast.h"
#include "platform/text.h"

namespace orvex::engine {

class Context;
class Evaluator;

// An MDX function: evaluates the call's arguments itself (some take flags or
// are evaluated per tuple), so it gets the call and not values.
using FunctionHandler = Value (*)(Evaluator& evaluator, const mdx::Call& call, const Context& context);

// How a function may be written: as F(x, ...), as x.F(...) or x.F, or both.
enum class CallForms { kFunction, kMember, kBoth };

struct FunctionDef {
  FunctionHandler handler = nullptr;
  int min_args = 0;  // the object of x.F counts as the first argument
  int max_args = 0;
  CallForms forms = CallForms::kFunction;
};

// The functions the evaluator knows, by name without regard to case. Built
// once; immutable afterwards and shared by every thread.
class FunctionTable {
 public:
  static const FunctionTable& Instance();

  // nullptr when no function of that name can be written in that style.
  const FunctionDef* Find(std::string_view name, mdx::CallStyle style) const;
  void Add(std::string_view name, FunctionDef definition);

 private:
  std::unordered_map<std::string, FunctionDef, CaseInsensitiveHash, CaseInsensitiveEqual> functions_;
};

// Each adds its group of functions to the table.
void AddSetFunctions(FunctionTable& table);
void AddMemberFunctions(FunctionTable& table);
void AddValueFunctions(FunctionTable& table);
void AddTimeFunctions(FunctionTable& table);
void AddNumericFunctions(FunctionTable& table);
void AddStringFunctions(FunctionTable& table);
void AddLogicalFunctions(FunctionTable& table);
void AddSetLibraryFunctions(FunctionTable& table);
void AddMemberLibraryFunctions(FunctionTable& table);

}  // namespace orvex::engine
