#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::xmla {

// What an XMLA answer needs from a statement that the cell set does not say:
// the cube after FROM, the DIMENSION PROPERTIES of each axis and the CELL
// PROPERTIES. Found by a scan that skips strings, comments and bracketed
// names; the engine itself parses and checks the statement.
struct MdxClauses {
  std::string cube;                                         // without brackets; "" when not found
  std::map<int, std::vector<std::string>> dimension_properties;  // by axis number; names as written
  std::vector<std::string> cell_properties;                 // upper case; empty when not given
  bool drillthrough = false;  // the statement starts with DRILLTHROUGH: it answers with rows
};

MdxClauses ScanMdxClauses(std::string_view mdx);

// The last part of a property name as written: "[Store].[Store Type]" gives
// "Store Type", "PARENT_UNIQUE_NAME" itself.
std::string LastNamePart(std::string_view name);

}  // namespace orvex::xmla
