#include "engine/mdx/ast.h"

#include "platform/com/variant.h"
#include "platform/text.h"

namespace orvex::engine::mdx {

namespace {

const char* OperatorText(BinaryOp op) {
  switch (op) {
    case BinaryOp::kAdd: return " + ";
    case BinaryOp::kSubtract: return " - ";
    case BinaryOp::kMultiply: return " * ";
    case BinaryOp::kDivide: return " / ";
    case BinaryOp::kConcat: return " || ";
    case BinaryOp::kPower: return " ^ ";
    case BinaryOp::kMod: return " MOD ";
    case BinaryOp::kEqual: return " = ";
    case BinaryOp::kNotEqual: return " <> ";
    case BinaryOp::kLess: return " < ";
    case BinaryOp::kLessEqual: return " <= ";
    case BinaryOp::kGreater: return " > ";
    case BinaryOp::kGreaterEqual: return " >= ";
    case BinaryOp::kIs: return " IS ";
    case BinaryOp::kAnd: return " AND ";
    case BinaryOp::kOr: return " OR ";
    case BinaryOp::kXor: return " XOR ";
    case BinaryOp::kRange: return ":";
  }
  return " ? ";
}

std::string ListText(const std::vector<NodePtr>& nodes, size_t first) {
  std::string text;
  for (size_t index = first; index < nodes.size(); ++index) {
    if (index > first) text += ", ";
    text += ToText(*nodes[index]);
  }
  return text;
}

}  // namespace

std::string FormatName(const std::vector<NamePart>& parts) {
  std::string text;
  for (const NamePart& part : parts) {
    if (!text.empty()) text += '.';
    if (!part.compound.empty()) {
      for (const std::string& key : part.compound) text += "&[" + ReplaceAll(key, "]", "]]") + "]";
      continue;
    }
    text += part.key ? "&[" : "[";
    text += ReplaceAll(part.text, "]", "]]");
    text += ']';
  }
  return text;
}

std::string ToText(const Node& node) {
  switch (node.kind) {
    case NodeKind::kNumber: return FormatNumber(static_cast<const NumberLiteral&>(node).value);
    case NodeKind::kString: return "'" + ReplaceAll(static_cast<const StringLiteral&>(node).value, "'", "''") + "'";
    case NodeKind::kNull: return "NULL";
    case NodeKind::kName: return static_cast<const Name&>(node).ToString();
    case NodeKind::kCall: {
      const auto& call = static_cast<const Call&>(node);
      switch (call.style) {
        case CallStyle::kFunction: return call.function + "(" + ListText(call.args, 0) + ")";
        case CallStyle::kMethod: return ToText(*call.args[0]) + "." + call.function + "(" + ListText(call.args, 1) + ")";
        case CallStyle::kProperty: return ToText(*call.args[0]) + "." + call.function;
      }
      break;
    }
    case NodeKind::kTuple: return "(" + ListText(static_cast<const TupleNode&>(node).elements, 0) + ")";
    case NodeKind::kSet: return "{" + ListText(static_cast<const SetNode&>(node).elements, 0) + "}";
    case NodeKind::kUnary: {
      const auto& unary = static_cast<const Unary&>(node);
      const char* prefix = unary.op == UnaryOp::kMinus ? "-" : unary.op == UnaryOp::kPlus ? "+" : "NOT ";
      return prefix + ToText(*unary.operand);
    }
    case NodeKind::kBinary: {
      const auto& binary = static_cast<const Binary&>(node);
      return "(" + ToText(*binary.left) + OperatorText(binary.op) + ToText(*binary.right) + ")";
    }
  }
  return "";
}

}  // namespace orvex::engine::mdx
