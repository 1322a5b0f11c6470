#include "export/export_grid.h"

#include <cmath>

#include "platform/com/com_error.h"

namespace orvex::exports {

namespace {

// One axis's positions as the captions and unique names of their members,
// one vector per position, in the axis's hierarchy order.
struct AxisHeadings {
  int hierarchies = 0;
  std::vector<std::vector<std::string>> captions;
  std::vector<std::vector<std::string>> unique_names;
};

AxisHeadings ReadAxis(const provider::Axis& axis) {
  AxisHeadings headings;
  headings.hierarchies = axis.DimensionCount();
  auto positions = axis.GetPositions();
  int count = positions->Count();
  headings.captions.resize(static_cast<size_t>(count));
  headings.unique_names.resize(static_cast<size_t>(count));
  for (int position = 0; position < count; ++position) {
    auto members = positions->Item(position)->GetMembers();
    for (int hierarchy = 0; hierarchy < headings.hierarchies; ++hierarchy) {
      auto member = members->Item(hierarchy);
      headings.captions[static_cast<size_t>(position)].push_back(member->Caption());
      headings.unique_names[static_cast<size_t>(position)].push_back(member->UniqueName());
    }
  }
  return headings;
}

// The end (exclusive) of the run of positions from `first` that share the
// members of hierarchies 0 to `hierarchy`: a heading spans its run.
size_t RunEnd(const AxisHeadings& axis, size_t first, int hierarchy) {
  size_t end = first + 1;
  while (end < axis.unique_names.size()) {
    for (int outer = 0; outer <= hierarchy; ++outer) {
      if (axis.unique_names[end][static_cast<size_t>(outer)] != axis.unique_names[first][static_cast<size_t>(outer)]) {
        return end;
      }
    }
    ++end;
  }
  return end;
}

GridCell Heading(const std::string& caption) {
  GridCell cell;
  cell.kind = GridCell::Kind::kHeading;
  cell.text = caption;
  return cell;
}

GridCell DataCell(const provider::Cell& cell) {
  GridCell out;
  Variant value = cell.Value();
  out.text = cell.FormattedValue();
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      out.text.clear();
      break;
    case Variant::Type::kBoolean:
      out.kind = GridCell::Kind::kBoolean;
      out.number = value.ToBool() ? 1 : 0;
      break;
    case Variant::Type::kLong:
    case Variant::Type::kDouble:
      out.number = value.ToDouble();
      // Neither a spreadsheet cell nor a plain number in a CSV can hold
      // infinity or NaN; their formatted text can.
      out.kind = std::isfinite(out.number) ? GridCell::Kind::kNumber : GridCell::Kind::kText;
      if (out.kind == GridCell::Kind::kNumber) {
        const provider::Properties& properties = cell.GetProperties();
        if (properties.Has("FORMAT_STRING")) {
          const Variant& format = properties.Item("FORMAT_STRING").value;
          if (format.IsString()) out.format_string = format.ToString();
        }
      }
      break;
    default:
      out.kind = GridCell::Kind::kText;
      if (out.text.empty()) out.text = value.ToString();
      break;
  }
  return out;
}

}  // namespace

ExportGrid BuildExportGrid(const provider::CellsetData& cellset) {
  auto axes = cellset.GetAxes();
  if (axes->Count() > 2) {
    throw ComError(errors::kInvalidProcedureCall, "Export",
                   "an export holds a grid of columns and rows; this statement has " + std::to_string(axes->Count()) +
                       " axes");
  }
  AxisHeadings columns;
  AxisHeadings rows;
  bool has_columns = axes->Count() > 0;
  bool has_rows = axes->Count() > 1;
  if (has_columns) columns = ReadAxis(*axes->Item(0));
  if (has_rows) rows = ReadAxis(*axes->Item(1));
  // Without an axis there is one cell, as there is one row without a row axis.
  size_t column_count = has_columns ? columns.captions.size() : 1;
  size_t row_count = has_rows ? rows.captions.size() : 1;

  ExportGrid grid;
  grid.heading_rows = columns.hierarchies;
  grid.heading_columns = rows.hierarchies;
  grid.rows = grid.heading_rows + static_cast<int>(row_count);
  grid.columns = grid.heading_columns + static_cast<int>(column_count);
  grid.cells.resize(static_cast<size_t>(grid.rows) * static_cast<size_t>(grid.columns));
  auto at = [&grid](size_t row, size_t column) -> GridCell& {
    return grid.cells[row * static_cast<size_t>(grid.columns) + column];
  };

  const size_t left = static_cast<size_t>(grid.heading_columns);
  const size_t top = static_cast<size_t>(grid.heading_rows);
  for (int hierarchy = 0; hierarchy < columns.hierarchies; ++hierarchy) {
    for (size_t first = 0; first < columns.captions.size();) {
      size_t end = RunEnd(columns, first, hierarchy);
      for (size_t position = first; position < end; ++position) {
        at(static_cast<size_t>(hierarchy), left + position) =
            Heading(columns.captions[first][static_cast<size_t>(hierarchy)]);
      }
      if (end - first > 1) {
        grid.merges.push_back({hierarchy, static_cast<int>(left + first), hierarchy, static_cast<int>(left + end - 1)});
      }
      first = end;
    }
  }
  for (int hierarchy = 0; hierarchy < rows.hierarchies; ++hierarchy) {
    for (size_t first = 0; first < rows.captions.size();) {
      size_t end = RunEnd(rows, first, hierarchy);
      for (size_t position = first; position < end; ++position) {
        at(top + position, static_cast<size_t>(hierarchy)) = Heading(rows.captions[first][static_cast<size_t>(hierarchy)]);
      }
      if (end - first > 1) {
        grid.merges.push_back({static_cast<int>(top + first), hierarchy, static_cast<int>(top + end - 1), hierarchy});
      }
      first = end;
    }
  }
  for (size_t row = 0; row < row_count; ++row) {
    for (size_t column = 0; column < column_count; ++column) {
      // Axis 0 varies fastest in the ordinals.
      int ordinal = static_cast<int>(row * column_count + column);
      at(top + row, left + column) = DataCell(*cellset.GetCell(ordinal));
    }
  }
  return grid;
}

}  // namespace orvex::exports
