#include "engine/common/bracket.h"

namespace orvex::engine {

std::string Bracket(std::string_view name) {
  std::string text = "[";
  for (char c : name) {
    text += c;
    if (c == ']') text += ']';
  }
  text += ']';
  return text;
}

}  // namespace orvex::engine
