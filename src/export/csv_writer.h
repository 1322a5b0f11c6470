#pragma once
#include <string>
#include <string_view>

#include "provider/cellset_data.h"
#include "provider/tabular_data.h"

// CSV files for spreadsheets: UTF-8 with a byte-order mark (so that a
// spreadsheet reads the text as UTF-8), fields separated by commas, records
// ended by CR LF, a field quoted where it holds a comma, a quote or a line
// break, its quotes doubled. Numbers are written plainly, with a full stop
// and no grouping, whatever the locale. A text that a spreadsheet would take
// for a formula (starting with =, +, -, @, a tab or a carriage return) gets a
// leading apostrophe; numbers never do.
namespace orvex::exports {

// The grid of BuildExportGrid: headings repeated in every row or column they
// head (a CSV has no merged cells), numbers unformatted, text cells as their
// formatted value. Throws ComError for more than two axes.
std::string CellsetCsv(const provider::CellsetData& cellset);

// A heading row of the column names, then one record per row. Empty and
// null values are empty fields; truth values TRUE and FALSE. Throws
// ComError 13 for a value that is no number, text or truth value.
std::string TabularCsv(const provider::TabularData& table);

// One field of text, made safe and quoted as above.
std::string CsvTextField(std::string_view text);

}  // namespace orvex::exports
