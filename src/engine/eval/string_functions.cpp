// String functions: the VBA text functions MDX borrows (Left, Mid, InStr,
// UCase, Trim, Format, CStr, ...), the text of members, tuples and sets,
// and the reverse, reading a member, tuple, set or value out of a text.
// Positions and lengths count characters, not bytes, as the references do.
#include <algorithm>

#include "engine/eval/evaluator.h"
#include "engine/eval/format_string.h"
#include "engine/eval/function_table.h"
#include "engine/eval/name_resolver.h"
#include "engine/common/engine_error.h"
#include "platform/text.h"

namespace orvex::engine {

namespace {

using mdx::Call;

// The argument as text; an empty value is "".
std::string TextArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  Scalar value = evaluator.EvalScalar(*call.args[index], context);
  return IsEmpty(value) ? std::string() : ScalarText(value);
}

// A count or position that must not be negative.
int64_t CountArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  int64_t count = evaluator.EvalInteger(*call.args[index], context);
  if (count < 0) {
    evaluator.Fail(*call.args[index], call.function + " needs a number of 0 or more as argument " +
                                          std::to_string(index + 1) + ", not " + std::to_string(count));
  }
  return count;
}

// Byte offsets of each character of UTF-8 `text`, and the end.
std::vector<size_t> CharacterOffsets(const std::string& text) {
  std::vector<size_t> offsets;
  for (size_t at = 0; at < text.size(); ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) offsets.push_back(at);
  }
  offsets.push_back(text.size());
  return offsets;
}

// The characters [from, from + count) of `text`, clipped to its length.
std::string Characters(const std::string& text, int64_t from, int64_t count) {
  std::vector<size_t> offsets = CharacterOffsets(text);
  auto length = static_cast<int64_t>(offsets.size() - 1);
  from = std::clamp<int64_t>(from, 0, length);
  int64_t to = std::clamp<int64_t>(from + std::min<int64_t>(count, length), from, length);
  return text.substr(offsets[static_cast<size_t>(from)], offsets[static_cast<size_t>(to)] - offsets[static_cast<size_t>(from)]);
}

int64_t Length(const std::string& text) { return static_cast<int64_t>(CharacterOffsets(text).size() - 1); }

Value LeftFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::string text = TextArgument(evaluator, call, 0, context);
  return Scalar(Characters(text, 0, CountArgument(evaluator, call, 1, context)));
}

Value RightFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::string text = TextArgument(evaluator, call, 0, context);
  int64_t count = std::min(CountArgument(evaluator, call, 1, context), Length(text));
  return Scalar(Characters(text, Length(text) - count, count));
}

// Mid(text, start[, length]), start counting from 1.
Value MidFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::string text = TextArgument(evaluator, call, 0, context);
  int64_t start = CountArgument(evaluator, call, 1, context);
  if (start < 1) evaluator.Fail(*call.args[1], "Mid counts characters from 1");
  int64_t count = call.args.size() > 2 ? CountArgument(evaluator, call, 2, context) : Length(text);
  return Scalar(Characters(text, start - 1, count));
}

Value LenFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(static_cast<double>(Length(TextArgument(evaluator, call, 0, context))));
}

// InStr([start, ]text, sought): the 1-based character position of the first
// `sought` at or after `start`, 0 when there is none.
Value InStrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  size_t first = call.args.size() > 2 ? 1 : 0;
  int64_t start = first ? CountArgument(evaluator, call, 0, context) : 1;
  if (start < 1) evaluator.Fail(*call.args[0], "InStr counts characters from 1");
  std::string text = TextArgument(evaluator, call, first, context);
  std::string sought = TextArgument(evaluator, call, first + 1, context);
  std::vector<size_t> offsets = CharacterOffsets(text);
  if (start > static_cast<int64_t>(offsets.size())) return Scalar(0.0);
  size_t found = text.find(sought, offsets[static_cast<size_t>(start - 1)]);
  if (found == std::string::npos) return Scalar(0.0);
  auto position = std::lower_bound(offsets.begin(), offsets.end(), found) - offsets.begin();
  return Scalar(static_cast<double>(position + 1));
}

Value UCaseFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(ToUpper(TextArgument(evaluator, call, 0, context)));
}

Value LCaseFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(ToLower(TextArgument(evaluator, call, 0, context)));
}

// Trim, LTrim and RTrim take off spaces only, as VBA does.
std::string TrimSpaces(std::string text, bool left, bool right) {
  if (right) text.erase(text.find_last_not_of(' ') + 1);
  if (left) text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
  return text;
}

Value TrimFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(TrimSpaces(TextArgument(evaluator, call, 0, context), true, true));
}

Value LTrimFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(TrimSpaces(TextArgument(evaluator, call, 0, context), true, false));
}

Value RTrimFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(TrimSpaces(TextArgument(evaluator, call, 0, context), false, true));
}

// Format(value[, format]): the value as a cell with that format string shows it.
Value FormatFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Scalar value = evaluator.EvalScalar(*call.args[0], context);
  std::string format = call.args.size() > 1 ? TextArgument(evaluator, call, 1, context) : std::string();
  if (IsEmpty(value)) return Scalar(std::string());
  return Scalar(FormatCellValue(value, format));
}

Value CStrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Scalar(TextArgument(evaluator, call, 0, context));
}

std::string TupleText(const Tuple& tuple) {
  if (tuple.size() == 1) return tuple.front() ? tuple.front()->unique_name : std::string();
  std::string text = "(";
  for (const Member* member : tuple) {
    if (text.size() > 1) text += ", ";
    if (member) text += member->unique_name;
  }
  return text + ")";
}

Value MemberToStrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return Scalar(member ? member->unique_name : std::string());
}

Value TupleToStrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::vector<const Hierarchy*> hierarchies;
  Tuple tuple = evaluator.EvalTuple(*call.args[0], context, hierarchies);
  return Scalar(TupleText(tuple));
}

Value SetToStrFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::string text = "{";
  for (const Tuple& tuple : set.tuples) {
    if (text.size() > 1) text += ", ";
    text += TupleText(tuple);
  }
  return Scalar(text + "}");
}

// The expression a StrTo function reads. With CONSTRAINED the text must be a
// plain name (or, for sets and tuples, names in braces and parentheses), so
// that text from a user cannot run an expression.
const mdx::Node& TextExpression(Evaluator& evaluator, const Call& call, const Context& context) {
  std::string text = TextArgument(evaluator, call, 0, context);
  bool constrained = false;
  if (call.args.size() > 1) {
    if (Evaluator::FlagOf(*call.args[1]) != "CONSTRAINED") {
      evaluator.Fail(*call.args[1], "Expected CONSTRAINED as argument 2 of " + call.function);
    }
    constrained = true;
  }
  const mdx::Node* node = nullptr;
  try {
    node = &evaluator.names().ParsedText(text);
  } catch (const ComError& error) {
    evaluator.Fail(call, call.function + " cannot read '" + text + "': " + error.description());
  }
  if (constrained) {
    std::vector<const mdx::Node*> pending{node};
    while (!pending.empty()) {
      const mdx::Node* at = pending.back();
      pending.pop_back();
      if (at->kind == mdx::NodeKind::kTuple) {
        for (const auto& element : static_cast<const mdx::TupleNode&>(*at).elements) pending.push_back(element.get());
      } else if (at->kind == mdx::NodeKind::kSet) {
        for (const auto& element : static_cast<const mdx::SetNode&>(*at).elements) pending.push_back(element.get());
      } else if (at->kind != mdx::NodeKind::kName) {
        evaluator.Fail(call, call.function + " with CONSTRAINED takes names only, not '" + text + "'");
      }
    }
  }
  return *node;
}

Value StrToMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalMember(TextExpression(evaluator, call, context), context);
}

Value StrToTupleFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::vector<const Hierarchy*> hierarchies;
  Tuple tuple = evaluator.EvalTuple(TextExpression(evaluator, call, context), context, hierarchies);
  if (tuple.size() == 1) return tuple.front();
  return tuple;
}

Value StrToSetFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalSet(TextExpression(evaluator, call, context), context);
}

Value StrToValueFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalScalar(TextExpression(evaluator, call, context), context);
}

// Parameter(name, type, default[, description]): a statement parameter. No
// caller passes values for them here, so it is its default.
Value ParameterFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.Eval(*call.args[2], context);
}

// The Parameter call of that name within `node`; nullptr where there is none.
const Call* FindParameter(const mdx::Node* node, const std::string& name) {
  if (!node) return nullptr;
  switch (node->kind) {
    case mdx::NodeKind::kCall: {
      const auto& call = static_cast<const Call&>(*node);
      if (EqualsIgnoreCase(call.function, "Parameter") && call.style == mdx::CallStyle::kFunction &&
          !call.args.empty() && call.args[0]->kind == mdx::NodeKind::kString &&
          EqualsIgnoreCase(static_cast<const mdx::StringLiteral&>(*call.args[0]).value, name)) {
        return &call;
      }
      for (const auto& arg : call.args) {
        if (const Call* found = FindParameter(arg.get(), name)) return found;
      }
      return nullptr;
    }
    case mdx::NodeKind::kTuple:
      for (const auto& element : static_cast<const mdx::TupleNode&>(*node).elements) {
        if (const Call* found = FindParameter(element.get(), name)) return found;
      }
      return nullptr;
    case mdx::NodeKind::kSet:
      for (const auto& element : static_cast<const mdx::SetNode&>(*node).elements) {
        if (const Call* found = FindParameter(element.get(), name)) return found;
      }
      return nullptr;
    case mdx::NodeKind::kUnary: return FindParameter(static_cast<const mdx::Unary&>(*node).operand.get(), name);
    case mdx::NodeKind::kBinary: {
      const auto& binary = static_cast<const mdx::Binary&>(*node);
      if (const Call* found = FindParameter(binary.left.get(), name)) return found;
      return FindParameter(binary.right.get(), name);
    }
    default: return nullptr;
  }
}

// ParamRef(name): the value of the statement's Parameter of that name, which
// may be written anywhere in it, before or after; its default, as no caller
// passes values.
Value ParamRefFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  std::string name = ScalarText(evaluator.EvalScalar(*call.args[0], context));
  const mdx::Statement* statement = evaluator.statement();
  const Call* found = nullptr;
  if (statement) {
    for (const auto& formula : statement->formulas) {
      if (!found) found = FindParameter(formula.expression.get(), name);
      for (const auto& property : formula.properties) {
        if (!found) found = FindParameter(property.value.get(), name);
      }
    }
    for (const auto& axis : statement->axes) {
      if (!found) found = FindParameter(axis.set.get(), name);
    }
    if (!found) found = FindParameter(statement->slicer.get(), name);
  }
  if (!found) evaluator.Fail(call, "ParamRef: the statement declares no Parameter named '" + name + "'");
  if (found->args.size() < 3) evaluator.Fail(*found, "Parameter: the parameter '" + name + "' has no default");
  return evaluator.Eval(*found->args[2], context);
}

}  // namespace

void AddStringFunctions(FunctionTable& table) {
  table.Add("Left", {LeftFunction, 2, 2, CallForms::kFunction});
  table.Add("Right", {RightFunction, 2, 2, CallForms::kFunction});
  table.Add("Mid", {MidFunction, 2, 3, CallForms::kFunction});
  table.Add("Len", {LenFunction, 1, 1, CallForms::kFunction});
  table.Add("InStr", {InStrFunction, 2, 3, CallForms::kFunction});
  table.Add("UCase", {UCaseFunction, 1, 1, CallForms::kFunction});
  table.Add("LCase", {LCaseFunction, 1, 1, CallForms::kFunction});
  table.Add("Trim", {TrimFunction, 1, 1, CallForms::kFunction});
  table.Add("LTrim", {LTrimFunction, 1, 1, CallForms::kFunction});
  table.Add("RTrim", {RTrimFunction, 1, 1, CallForms::kFunction});
  table.Add("Format", {FormatFunction, 1, 2, CallForms::kFunction});
  table.Add("CStr", {CStrFunction, 1, 1, CallForms::kFunction});
  table.Add("MemberToStr", {MemberToStrFunction, 1, 1, CallForms::kFunction});
  table.Add("TupleToStr", {TupleToStrFunction, 1, 1, CallForms::kFunction});
  table.Add("SetToStr", {SetToStrFunction, 1, 1, CallForms::kFunction});
  table.Add("StrToMember", {StrToMemberFunction, 1, 2, CallForms::kFunction});
  table.Add("StrToTuple", {StrToTupleFunction, 1, 2, CallForms::kFunction});
  table.Add("StrToSet", {StrToSetFunction, 1, 2, CallForms::kFunction});
  table.Add("StrToValue", {StrToValueFunction, 1, 2, CallForms::kFunction});
  table.Add("Parameter", {ParameterFunction, 3, 4, CallForms::kFunction});
  table.Add("ParamRef", {ParamRefFunction, 1, 1, CallForms::kFunction});
}

}  // namespace orvex::engine
