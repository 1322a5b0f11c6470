#include "xmla/xml_names.h"

namespace orvex::xmla {

std::string_view LocalName(const char* name) {
  std::string_view text(name);
  size_t colon = text.find(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view local_name) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && LocalName(child.name()) == local_name) return child;
  }
  return {};
}

}  // namespace orvex::xmla
