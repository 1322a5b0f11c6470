#pragma once
#include <string>

#include "provider/cellset_data.h"
#include "provider/tabular_data.h"
#include "xmla/mdx_clauses.h"
#include "xmla/xml_writer.h"

namespace orvex::xmla {

// Writes an executed statement as <root> of an MDDataSet: OlapInfo (cube,
// axes with their hierarchies and member properties, cell properties), the
// axes in tuple format (the filter axis as SlicerAxis) and the cells that are
// not empty, each value with its XML schema type. Cells are written one by
// one, so the writer's buffer bounds the memory a large result needs.
void WriteMdDataSet(XmlWriter& out, const provider::CellsetData& data, const MdxClauses& clauses, bool schema,
                    bool with_data);

// Writes the result flattened into a rowset: one row per combination of
// positions of the axes after the first, a column per hierarchy of those axes
// (its member's caption) and one per position of the first axis (the cells).
void WriteTabular(XmlWriter& out, const provider::CellsetData& data, bool schema, bool with_data);

// Writes rows (a drill-through's) as <root> of a tabular rowset: an element
// per column, named from its heading as XML names are encoded, the heading
// kept as sql:field; a null value is left out of its row.
void WriteTabularRows(XmlWriter& out, const provider::TabularData& rows, bool schema, bool with_data);

// The XML schema type and text of a value; false for an empty value.
bool TypedValue(const Variant& value, std::string& type, std::string& text);

}  // namespace orvex::xmla
