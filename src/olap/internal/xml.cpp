#include "olap/internal/xml.h"

#include <sstream>

#include "olap/internal/tessel_error.h"

namespace orvex::olap::detail {

bool LoadXml(pugi::xml_document& document, std::string_view text) {
  document.reset();
  // As a fragment, stray text beside the root element is kept, and so can be refused.
  pugi::xml_parse_result result = document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_fragment);
  if (!result) return false;
  // Parsing is iterative, but XPath and the MDX built from nested sets are
  // not: a document nested deeper than any view definition is refused here.
  int depth = 0;
  for (pugi::xml_node current = document.first_child(); current;) {
    if (current.first_child()) {
      current = current.first_child();
      if (++depth > kMaxXmlDepth) {
        throw TesselError(errors::kInvalidProcedureCall, "The XML document is nested more than " +
                                                             std::to_string(kMaxXmlDepth) + " elements deep.");
      }
      continue;
    }
    while (current && !current.next_sibling()) {
      current = current.parent();
      --depth;
    }
    if (current) current = current.next_sibling();
  }
  int elements = 0;
  for (pugi::xml_node child : document.children()) {
    switch (child.type()) {
      case pugi::node_element: ++elements; break;
      case pugi::node_comment:
      case pugi::node_pi:
      case pugi::node_declaration:
      case pugi::node_doctype: break;
      default: return false;  // text outside the root element
    }
  }
  return elements == 1;
}

std::string ToXmlText(const pugi::xml_node& node) {
  std::ostringstream out;
  node.print(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

std::string InnerText(const pugi::xml_node& node) {
  if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
  // Walked without recursion: a hostile document may nest very deeply.
  std::string text;
  pugi::xml_node current = node.first_child();
  while (current) {
    if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata) text += current.value();
    if (current.type() == pugi::node_element && current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current && current != node && !current.next_sibling()) current = current.parent();
    if (!current || current == node) break;
    current = current.next_sibling();
  }
  return text;
}

std::string RequiredChildText(const pugi::xml_node& parent, const char* name) {
  pugi::xml_node child = parent.child(name);
  if (!child) throw TesselPlatformError(errors::kObjectNotSet);
  return InnerText(child);
}

}  // namespace orvex::olap::detail
