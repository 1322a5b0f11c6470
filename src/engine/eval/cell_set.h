#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/eval/value.h"

namespace orvex::engine {

// One axis of a result: its hierarchies and its positions, each a tuple over them.
struct AxisResult {
  std::vector<const Hierarchy*> hierarchies;
  std::vector<Tuple> positions;
};

struct CellResult {
  Scalar value;
  std::string formatted_value;
};

// What CELL PROPERTIES asks for beyond the value: the format string a cell
// was shown with and the colors its calculated member gives (empty when none).
struct CellStyle {
  std::string format_string;
  Scalar fore_color;
  Scalar back_color;
};

// The result of one statement. Cells are in ordinal order: axis 0 varies
// fastest; a statement without axes has one cell. The filter axis has one
// position holding, for every hierarchy on no axis, the slicer's or the
// default member (the measures first). Immutable once built; `owner` keeps the
// statement's calculated members alive, and the pointer the executor hands
// out keeps the catalog alive too, for the members referenced here. Safe to
// share between threads.
struct CellSet {
  std::vector<AxisResult> axes;
  AxisResult filter_axis;
  std::vector<CellResult> cells;
  // By cell, in the order of `cells`, when the statement asked for
  // FORMAT_STRING, FORE_COLOR or BACK_COLOR; else empty.
  std::vector<CellStyle> styles;
  std::vector<std::string> cell_properties;  // the statement's CELL PROPERTIES, upper case
  // A compound slicer's tuples, which every cell aggregates over (the filter
  // axis then holds its hierarchies' defaults); nullptr for none.
  std::shared_ptr<const TupleFilter> slicer_filter;
  std::shared_ptr<const void> owner;
};

}  // namespace orvex::engine
