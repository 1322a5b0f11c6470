#pragma once
#include <pugixml.hpp>

#include <string_view>

namespace orvex::xmla {

// SOAP parties pick their own namespace prefixes, so elements are matched by
// their local names: "soap:Body" and "SOAP-ENV:Body" are both "Body".
std::string_view LocalName(const char* name);

// The first child element of that local name, whatever its prefix; empty when none.
pugi::xml_node Child(pugi::xml_node parent, std::string_view local_name);

}  // namespace orvex::xmla
