#include "engine/eval/function_table.h"

namespace orvex::engine {

const FunctionTable& FunctionTable::Instance() {
  static const FunctionTable table = [] {
    FunctionTable built;
    AddSetFunctions(built);
    AddMemberFunctions(built);
    AddValueFunctions(built);
    AddTimeFunctions(built);
    AddNumericFunctions(built);
    AddStringFunctions(built);
    AddLogicalFunctions(built);
    AddSetLibraryFunctions(built);
    AddMemberLibraryFunctions(built);
    return built;
  }();
  return table;
}

const FunctionDef* FunctionTable::Find(std::string_view name, mdx::CallStyle style) const {
  auto found = functions_.find(name);
  if (found == functions_.end()) return nullptr;
  const FunctionDef& definition = found->second;
  bool member_style = style != mdx::CallStyle::kFunction;
  if (definition.forms == CallForms::kFunction && member_style) return nullptr;
  if (definition.forms == CallForms::kMember && !member_style) return nullptr;
  return &definition;
}

void FunctionTable::Add(std::string_view name, FunctionDef definition) {
  functions_.insert_or_assign(std::string(name), definition);
}

}  // namespace orvex::engine
