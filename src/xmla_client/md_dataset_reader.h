#pragma once
#include <pugixml.hpp>

#include <memory>
#include <string>

#include "provider/cellset_data.h"
#include "provider/tabular_data.h"
#include "xmla_client/xmla_state.h"

namespace orvex::xmla_client {

// Reads an Execute's MDDataSet (`root`) into a cell set: axes "Axis0",
// "Axis1", ... in tuple format, the slicer as the filter axis, and the cells
// by ordinal (those the answer leaves out are empty). Values keep the type
// the answer gives them (xsd:double and the other numbers, xsd:boolean, text).
// The members are remembered by `state`, which completes them when asked.
// Throws ComError for an answer that is no MDDataSet or whose cells do not
// fit its axes.
std::shared_ptr<provider::CellsetData> ReadMdDataSet(const pugi::xml_node& root, std::shared_ptr<XmlaState> state,
                                                     const std::string& catalog);

// Reads an Execute's tabular rowset (`root`, a drill-through's rows): the
// columns as its schema lists them (headed by sql:field, else the element
// name), then a row per <row>, a column the row leaves out as null. Throws
// ComError for an answer without a schema or with a column it does not list.
provider::TabularData ReadTabularRows(const pugi::xml_node& root);

}  // namespace orvex::xmla_client
