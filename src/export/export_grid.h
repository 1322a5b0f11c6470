#pragma once
#include <string>
#include <vector>

#include "provider/cellset_data.h"

// A cell set laid out as a spreadsheet shows it, the one layout both file
// writers share: one heading row per hierarchy on columns, one heading column
// per hierarchy on rows, the cells below and right of them.
namespace orvex::exports {

struct GridCell {
  enum class Kind { kEmpty, kHeading, kNumber, kBoolean, kText };
  Kind kind = Kind::kEmpty;
  // A heading's caption; a cell's formatted value (for a text cell, the text).
  std::string text;
  double number = 0;  // kNumber: the unformatted value; kBoolean: 1 or 0
  // kNumber: the measure's format string where the cell set carries it
  // (cell property FORMAT_STRING), else "".
  std::string format_string;
};

// A heading spanning the cells that repeat it: inclusive bounds.
struct GridMerge {
  int first_row = 0;
  int first_column = 0;
  int last_row = 0;
  int last_column = 0;
};

struct ExportGrid {
  int rows = 0;
  int columns = 0;
  // Rows above and columns left of the cells, holding the headings.
  int heading_rows = 0;
  int heading_columns = 0;
  std::vector<GridCell> cells;  // row by row, rows * columns of them
  // Runs of two or more equal headings under equal outer headings: the
  // column headings' first, then the row headings', each hierarchy in turn.
  std::vector<GridMerge> merges;

  const GridCell& At(int row, int column) const { return cells[static_cast<size_t>(row * columns + column)]; }
};

// Lays out a cell set of up to two axes (0: columns, 1: rows); a cell set of
// no axis is its one cell. A heading repeats in every row or column it heads:
// `merges` says where a spreadsheet joins them. A number that is not finite
// becomes a text cell of its formatted value. Throws ComError for more than two axes.
ExportGrid BuildExportGrid(const provider::CellsetData& cellset);

}  // namespace orvex::exports
