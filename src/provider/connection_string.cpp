#include "provider/connection_string.h"

#include "platform/text.h"

namespace orvex::provider {

Dictionary ParseConnectionString(std::string_view connection_string) {
  Dictionary items(Dictionary::CompareMode::kText);
  std::string trimmed = Trim(connection_string);
  if (trimmed.empty()) return items;
  for (const std::string& piece : Split(trimmed, ";")) {
    if (piece.empty()) continue;
    size_t equals = piece.find('=');
    if (equals == std::string::npos) {
      items.Add(Trim(piece), Variant(std::string()));
    } else {
      items.Add(Trim(piece.substr(0, equals)), Variant(Trim(piece.substr(equals + 1))));
    }
  }
  return items;
}

}  // namespace orvex::provider
