#pragma once
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace orvex::olap::detail {

// Parses `text` into `document` the way the readers need it: whitespace-only
// text dropped, exactly one root element, nothing but markup around it.
// Returns false for anything that is not a well-formed document; throws
// error 5 for one nested more than kMaxXmlDepth elements deep.
inline constexpr int kMaxXmlDepth = 100;
[[nodiscard]] bool LoadXml(pugi::xml_document& document, std::string_view text);

// The serialised text of a node: no declaration, no indentation.
std::string ToXmlText(const pugi::xml_node& node);

// The concatenated text of every text and CDATA node below `node`, in document order.
std::string InnerText(const pugi::xml_node& node);

// The text of the child element `name`; throws error 91 when there is none,
// as a reader that dereferences a missing node does.
std::string RequiredChildText(const pugi::xml_node& parent, const char* name);

}  // namespace orvex::olap::detail
