#include "export/csv_writer.h"

#include "export/export_grid.h"

namespace orvex::exports {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kRecordEnd = "\r\n";

std::string VariantField(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      return "";
    case Variant::Type::kBoolean:
      return value.ToBool() ? "TRUE" : "FALSE";
    case Variant::Type::kLong:
    case Variant::Type::kDouble:
      return FormatNumber(value.ToDouble());
    default:
      return CsvTextField(value.ToString());
  }
}

}  // namespace

std::string CsvTextField(std::string_view text) {
  std::string field;
  if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) field += '\'';
  field += text;
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  quoted += '"';
  return quoted;
}

std::string CellsetCsv(const provider::CellsetData& cellset) {
  ExportGrid grid = BuildExportGrid(cellset);
  std::string out(kByteOrderMark);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      if (column > 0) out += ',';
      const GridCell& cell = grid.At(row, column);
      switch (cell.kind) {
        case GridCell::Kind::kEmpty:
          break;
        case GridCell::Kind::kNumber:
          out += FormatNumber(cell.number);
          break;
        case GridCell::Kind::kBoolean:
          out += cell.number != 0 ? "TRUE" : "FALSE";
          break;
        case GridCell::Kind::kHeading:
        case GridCell::Kind::kText:
          out += CsvTextField(cell.text);
          break;
      }
    }
    out += kRecordEnd;
  }
  return out;
}

std::string TabularCsv(const provider::TabularData& table) {
  std::string out(kByteOrderMark);
  for (size_t column = 0; column < table.columns.size(); ++column) {
    if (column > 0) out += ',';
    out += CsvTextField(table.columns[column]);
  }
  out += kRecordEnd;
  for (const auto& row : table.rows) {
    for (size_t column = 0; column < row.size(); ++column) {
      if (column > 0) out += ',';
      out += VariantField(row[column]);
    }
    out += kRecordEnd;
  }
  return out;
}

}  // namespace orvex::exports
