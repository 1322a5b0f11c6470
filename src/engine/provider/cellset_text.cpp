#include "engine/provider/cellset_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/com/variant.h"
#include "platform/text.h"

namespace orvex::engine {

namespace {

std::string PositionText(const provider::Position& position) {
  auto members = position.GetMembers();
  std::string text;
  for (int index = 0; index < members->Count(); ++index) {
    if (index > 0) text += ", ";
    text += members->Item(index)->UniqueName();
  }
  return text;
}

std::vector<std::string> PositionTexts(const provider::Axis& axis) {
  auto positions = axis.GetPositions();
  std::vector<std::string> texts;
  for (int index = 0; index < positions->Count(); ++index) texts.push_back(PositionText(*positions->Item(index)));
  return texts;
}

// Whether a terminal gives the character two columns: the East Asian wide
// and full-width blocks, and the emoji pictographs.
bool IsWide(char32_t code) {
  return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0x303E) ||
         (code >= 0x3041 && code <= 0xA4CF) || (code >= 0xAC00 && code <= 0xD7A3) ||
         (code >= 0xF900 && code <= 0xFAFF) || (code >= 0xFE30 && code <= 0xFE4F) ||
         (code >= 0xFF00 && code <= 0xFF60) || (code >= 0xFFE0 && code <= 0xFFE6) ||
         (code >= 0x1F300 && code <= 0x1F64F) || (code >= 0x1F900 && code <= 0x1F9FF) ||
         (code >= 0x20000 && code <= 0x3FFFD);
}

// Whether the character takes no column of its own: combining marks and the zero-width characters.
bool IsZeroWidth(char32_t code) {
  return (code >= 0x0300 && code <= 0x036F) || (code >= 0x1AB0 && code <= 0x1AFF) ||
         (code >= 0x1DC0 && code <= 0x1DFF) || (code >= 0x20D0 && code <= 0x20FF) ||
         (code >= 0xFE20 && code <= 0xFE2F) || (code >= 0x200B && code <= 0x200F) || code == 0xFEFF;
}

// The columns `text` takes on a terminal: one per character, not per byte
// (a byte that is not UTF-8 counts as one).
size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t at = 0; at < text.size();) {
    auto code = NextUtf8Character(text, at);
    if (!code) {
      ++width;
    } else if (!IsZeroWidth(*code)) {
      width += IsWide(*code) ? 2 : 1;
    }
  }
  return width;
}

// Lines of cells joined by " | ", each column padded to its widest cell.
std::string Grid(const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], DisplayWidth(row[column]));
    }
  }
  std::string text;
  for (const auto& row : rows) {
    std::string line;
    for (size_t column = 0; column < row.size(); ++column) {
      if (column > 0) line += " | ";
      line += row[column];
      if (column + 1 < row.size()) line.append(widths[column] - DisplayWidth(row[column]), ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  return text;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kBoolean: return value.ToBool() ? "true" : "false";
    case Variant::Type::kLong:
    case Variant::Type::kDouble: {
      double number = value.ToDouble();
      return std::isfinite(number) ? FormatNumber(number) : "null";
    }
    case Variant::Type::kString: return JsonString(value.ToString());
    default: return "null";
  }
}

// A member's property as text; "" where the provider does not give it.
std::string PropertyText(const provider::Member& member, std::string_view name) {
  const provider::Properties& properties = member.GetProperties();
  if (!properties.Has(name)) return "";
  const Variant& value = properties.Item(name).value;
  return value.IsNull() || value.IsEmpty() ? std::string() : value.ToString();
}

std::string JsonAxis(const provider::Axis& axis) {
  auto positions = axis.GetPositions();
  std::string text = "{\"positions\": [";
  for (int index = 0; index < positions->Count(); ++index) {
    if (index > 0) text += ", ";
    text += "{\"members\": [";
    auto members = positions->Item(index)->GetMembers();
    for (int member_index = 0; member_index < members->Count(); ++member_index) {
      auto member = members->Item(member_index);
      if (member_index > 0) text += ", ";
      text += "{\"uniqueName\": " + JsonString(member->UniqueName()) + ", \"caption\": " +
              JsonString(member->Caption()) + ", \"levelDepth\": " + std::to_string(member->LevelDepth()) +
              ", \"levelName\": " + JsonString(member->LevelName()) +
              ", \"levelUniqueName\": " + JsonString(PropertyText(*member, "LEVEL_UNIQUE_NAME")) +
              ", \"parentUniqueName\": " + JsonString(PropertyText(*member, "PARENT_UNIQUE_NAME")) +
              ", \"childCount\": " + std::to_string(member->ChildCount()) + "}";
    }
    text += "]}";
  }
  return text + "]}";
}

}  // namespace

std::string CellsetToTable(const provider::CellsetData& data, bool filter_axis) {
  std::string text;
  if (filter_axis) {
    auto positions = data.GetFilterAxis()->GetPositions();
    text += "filter: " + (positions->Count() > 0 ? PositionText(*positions->Item(0)) : std::string()) + "\n";
  }
  auto axes = data.GetAxes();
  int axis_count = axes->Count();
  auto cell = [&](int ordinal) { return data.GetCell(ordinal)->FormattedValue(); };
  if (axis_count == 0) return text + cell(0) + "\n";
  std::vector<std::vector<std::string>> headings;
  for (int axis = 0; axis < axis_count; ++axis) headings.push_back(PositionTexts(*axes->Item(axis)));
  if (axis_count == 1) {
    std::vector<std::vector<std::string>> rows;
    for (size_t position = 0; position < headings[0].size(); ++position) {
      rows.push_back({headings[0][position], cell(static_cast<int>(position))});
    }
    return text + Grid(rows);
  }
  int columns = static_cast<int>(headings[0].size());
  int rows = static_cast<int>(headings[1].size());
  int pages = 1;
  for (int axis = 2; axis < axis_count; ++axis) pages *= static_cast<int>(headings[static_cast<size_t>(axis)].size());
  for (int page = 0; page < pages; ++page) {
    if (axis_count > 2) {
      std::string label;
      int rest = page;
      for (int axis = 2; axis < axis_count; ++axis) {
        const auto& axis_headings = headings[static_cast<size_t>(axis)];
        if (!label.empty()) label += " | ";
        label += axis_headings[static_cast<size_t>(rest % static_cast<int>(axis_headings.size()))];
        rest /= static_cast<int>(axis_headings.size());
      }
      text += "page: " + label + "\n";
    }
    std::vector<std::vector<std::string>> grid;
    std::vector<std::string> heading{""};
    heading.insert(heading.end(), headings[0].begin(), headings[0].end());
    grid.push_back(std::move(heading));
    for (int row = 0; row < rows; ++row) {
      std::vector<std::string> line{headings[1][static_cast<size_t>(row)]};
      for (int column = 0; column < columns; ++column) line.push_back(cell((page * rows + row) * columns + column));
      grid.push_back(std::move(line));
    }
    text += Grid(grid);
  }
  return text;
}

std::string CellsetToJson(const provider::CellsetData& data) {
  std::string text = "{\"axes\": [";
  auto axes = data.GetAxes();
  int cells = 1;
  for (int axis = 0; axis < axes->Count(); ++axis) {
    if (axis > 0) text += ", ";
    auto item = axes->Item(axis);
    text += JsonAxis(*item);
    cells *= item->GetPositions()->Count();
  }
  text += "], \"filterAxis\": " + JsonAxis(*data.GetFilterAxis()) + ", \"cells\": [";
  for (int ordinal = 0; ordinal < cells; ++ordinal) {
    auto cell = data.GetCell(ordinal);
    if (ordinal > 0) text += ", ";
    text += "{\"ordinal\": " + std::to_string(ordinal) + ", \"value\": " + JsonValue(cell->Value()) +
            ", \"formattedValue\": " + JsonString(cell->FormattedValue()) + "}";
  }
  return text + "]}";
}

std::string TabularToTable(const provider::TabularData& data) {
  std::vector<std::vector<std::string>> grid{data.columns};
  for (const auto& row : data.rows) {
    std::vector<std::string> line;
    for (const Variant& value : row) {
      line.push_back(value.HoldsNumber() ? FormatNumber(value.ToDouble()) : value.IsString() ? value.ToString() : "");
    }
    grid.push_back(std::move(line));
  }
  return Grid(grid);
}

std::string TabularToJson(const provider::TabularData& data) {
  std::string text = "{\"columns\": [";
  for (size_t column = 0; column < data.columns.size(); ++column) {
    text += (column > 0 ? ", " : "") + JsonString(data.columns[column]);
  }
  text += "], \"rows\": [";
  for (size_t row = 0; row < data.rows.size(); ++row) {
    text += row > 0 ? ", [" : "[";
    for (size_t column = 0; column < data.rows[row].size(); ++column) {
      text += (column > 0 ? ", " : "") + JsonValue(data.rows[row][column]);
    }
    text += "]";
  }
  return text + "]}";
}

}  // namespace orvex::engine
