// The MDX parser on any text: it either gives a tree or throws ComError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/mdx/parser.h"
#include "platform/com/com_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    (void)orvex::engine::mdx::Parser::ParseStatement(text);
  } catch (const orvex::ComError&) {
  }
  // The same text as a calculated member's formula.
  try {
    (void)orvex::engine::mdx::Parser::ParseExpression(text);
  } catch (const orvex::ComError&) {
  }
  return 0;
}
