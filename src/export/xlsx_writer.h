#pragma once
#include <string>

#include "provider/cellset_data.h"

// XLSX workbooks of one sheet, written by libxlsxwriter.
namespace orvex::exports {

// The grid of BuildExportGrid on a sheet named "Grid": numbers as numbers in
// the number format of their measure's format string (ExcelNumberFormat),
// truth values as truth values, headings and text cells as text (never
// formulas, whatever they start with), each heading merged over the cells
// that repeat it, the panes frozen below and right of the headings. Returns
// the file's bytes. Throws ComError for more than two axes, for a grid larger
// than a sheet (1,048,576 rows, 16,384 columns), or when the library fails
// (its message kept); no file is left behind either way.
std::string CellsetXlsx(const provider::CellsetData& cellset);

}  // namespace orvex::exports
