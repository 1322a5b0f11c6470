#include "xmla/md_dataset.h"

#include <cmath>
#include <charconv>
#include <cstdio>

#include "platform/text.h"

namespace orvex::xmla {
namespace {

std::string PropertyText(const provider::Properties& properties, std::string_view name) {
  return properties.Has(name) ? properties.Item(name).value.ToString() : std::string();
}

std::string DoubleText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  // The shortest text that reads back as the same double.
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The hierarchies of an axis, by unique name, from its first position.
std::vector<std::string> HierarchiesOf(const provider::Axis& axis) {
  std::vector<std::string> names;
  auto positions = axis.GetPositions();
  if (positions->Count() == 0) return names;
  auto members = positions->Item(0)->GetMembers();
  for (int index = 0; index < members->Count(); ++index) {
    names.push_back(PropertyText(members->Item(index)->GetProperties(), "HIERARCHY_UNIQUE_NAME"));
  }
  return names;
}

struct AxisView {
  std::string name;
  std::shared_ptr<provider::Axis> axis;
  std::vector<std::string> hierarchies;
  std::vector<std::string> properties;  // requested DIMENSION PROPERTIES
};

std::vector<AxisView> AxisViews(const provider::CellsetData& data, const MdxClauses& clauses) {
  std::vector<AxisView> views;
  auto axes = data.GetAxes();
  for (int index = 0; index < axes->Count(); ++index) {
    auto axis = axes->Item(index);
    auto found = clauses.dimension_properties.find(index);
    views.push_back({"Axis" + std::to_string(index), axis, HierarchiesOf(*axis),
                     found == clauses.dimension_properties.end() ? std::vector<std::string>{} : found->second});
  }
  auto filter = data.GetFilterAxis();
  views.push_back({"SlicerAxis", filter, HierarchiesOf(*filter), {}});
  return views;
}

// The intrinsic member properties every tuple carries, as element and property name.
constexpr std::pair<const char*, const char*> kMemberProperties[] = {
    {"UName", "MEMBER_UNIQUE_NAME"}, {"Caption", "MEMBER_CAPTION"}, {"LName", "LEVEL_UNIQUE_NAME"},
    {"LNum", "LEVEL_NUMBER"},        {"DisplayInfo", "DISPLAY_INFO"}};

bool IsIntrinsic(const std::string& property) {
  std::string last = ToUpper(LastNamePart(property));
  for (const auto& [element, name] : kMemberProperties) {
    if (last == name) return true;
  }
  return false;
}

void WriteAxesInfo(XmlWriter& out, const std::vector<AxisView>& views) {
  out.Raw("<AxesInfo>");
  for (const auto& view : views) {
    out.Raw("<AxisInfo name=\"").Text(view.name).Raw("\">");
    for (const auto& hierarchy : view.hierarchies) {
      out.Raw("<HierarchyInfo name=\"").Text(hierarchy).Raw("\">");
      for (const auto& [element, name] : kMemberProperties) {
        out.Raw("<").Raw(element).Raw(" name=\"").Text(hierarchy + ".[" + name + "]").Raw("\"");
        out.Raw(std::string_view(element) == "LNum" || std::string_view(element) == "DisplayInfo"
                    ? " type=\"xsd:int\"/>" : " type=\"xsd:string\"/>");
      }
      for (const auto& property : view.properties) {
        if (IsIntrinsic(property)) continue;
        std::string last = LastNamePart(property);
        out.Raw("<").Raw(EncodeName(last)).Raw(" name=\"").Text(hierarchy + ".[" + last + "]").Raw("\"/>");
      }
      out.Raw("</HierarchyInfo>");
    }
    out.Raw("</AxisInfo>");
  }
  out.Raw("</AxesInfo>");
}

const std::vector<std::string>& DefaultCellProperties() {
  static const std::vector<std::string> names = {"VALUE", "FORMATTED_VALUE", "CELL_ORDINAL"};
  return names;
}

const char* CellElement(const std::string& property) {
  if (property == "VALUE") return "Value";
  if (property == "FORMATTED_VALUE") return "FmtValue";
  if (property == "CELL_ORDINAL") return "CellOrdinal";
  return nullptr;
}

// The members of one position, made once: each is asked for several properties.
std::vector<std::shared_ptr<provider::Member>> MembersAt(const provider::Positions& positions, int position) {
  std::vector<std::shared_ptr<provider::Member>> members;
  if (position >= positions.Count()) return members;
  auto collection = positions.Item(position)->GetMembers();
  for (int index = 0; index < collection->Count(); ++index) members.push_back(collection->Item(index));
  return members;
}

void WriteTuples(XmlWriter& out, const AxisView& view) {
  out.Raw("<Axis name=\"").Text(view.name).Raw("\"><Tuples>");
  auto positions = view.axis->GetPositions();
  const int count = positions->Count();
  std::vector<std::shared_ptr<provider::Member>> next = MembersAt(*positions, 0);
  std::vector<std::string> previous_parents;
  for (int position = 0; position < count; ++position) {
    std::vector<std::shared_ptr<provider::Member>> members = std::move(next);
    next = MembersAt(*positions, position + 1);
    out.Raw("<Tuple>");
    for (size_t index = 0; index < members.size(); ++index) {
      const provider::Member& member = *members[index];
      const auto& properties = member.GetProperties();
      std::string unique_name = member.UniqueName();
      std::string parent = PropertyText(properties, "PARENT_UNIQUE_NAME");
      // Children count in the low word; whether the next position shows this
      // member's children, and whether the previous one had the same parent.
      int64_t display = std::min(member.ChildCount(), 0xFFFF);
      if (index < next.size() && PropertyText(next[index]->GetProperties(), "PARENT_UNIQUE_NAME") == unique_name) {
        display |= 0x10000;
      }
      if (index < previous_parents.size() && previous_parents[index] == parent) display |= 0x20000;
      out.Raw("<Member Hierarchy=\"").Text(PropertyText(properties, "HIERARCHY_UNIQUE_NAME")).Raw("\">");
      out.Element("UName", unique_name)
          .Element("Caption", member.Caption())
          .Element("LName", PropertyText(properties, "LEVEL_UNIQUE_NAME"))
          .Element("LNum", std::to_string(member.LevelDepth()))
          .Element("DisplayInfo", std::to_string(display));
      for (const auto& property : view.properties) {
        if (IsIntrinsic(property)) continue;
        std::string last = LastNamePart(property);
        if (properties.Has(last)) out.Element(EncodeName(last), properties.Item(last).value.ToString());
      }
      out.Raw("</Member>");
      if (previous_parents.size() <= index) previous_parents.resize(index + 1);
      previous_parents[index] = std::move(parent);
    }
    out.Raw("</Tuple>");
  }
  out.Raw("</Tuples></Axis>");
}

int64_t CellCount(const provider::CellsetData& data) {
  auto axes = data.GetAxes();
  int64_t count = 1;
  for (int index = 0; index < axes->Count(); ++index) count *= axes->Item(index)->GetPositions()->Count();
  return count;
}

// Opens a tabular answer's root and, with `schema`, describes its row: a
// column per name (`elements`: the names as XML element names), the first
// `string_columns` of them typed as text.
void OpenRowsetRoot(XmlWriter& out, const std::vector<std::string>& columns, const std::vector<std::string>& elements,
                    bool schema, size_t string_columns) {
  out.Raw("<root xmlns=\"urn:schemas-microsoft-com:xml-analysis:rowset\" "
          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">");
  if (schema) {
    out.Raw("<xsd:schema targetNamespace=\"urn:schemas-microsoft-com:xml-analysis:rowset\" "
            "xmlns:sql=\"urn:schemas-microsoft-com:xml-sql\" elementFormDefault=\"qualified\">"
            "<xsd:element name=\"root\"><xsd:complexType><xsd:sequence minOccurs=\"0\" maxOccurs=\"unbounded\">"
            "<xsd:element name=\"row\" type=\"row\"/></xsd:sequence></xsd:complexType></xsd:element>"
            "<xsd:complexType name=\"row\"><xsd:sequence>");
    for (size_t index = 0; index < columns.size(); ++index) {
      out.Raw("<xsd:element minOccurs=\"0\" name=\"").Raw(elements[index]).Raw("\" sql:field=\"").Text(columns[index])
          .Raw(index < string_columns ? "\" type=\"xsd:string\"/>" : "\"/>");
    }
    out.Raw("</xsd:sequence></xsd:complexType></xsd:schema>");
  }
}

}  // namespace

bool TypedValue(const Variant& value, std::string& type, std::string& text) {
  switch (value.type()) {
    case Variant::Type::kEmpty:
    case Variant::Type::kNull:
      return false;
    case Variant::Type::kBoolean:
      type = "xsd:boolean";
      text = value.ToBool() ? "true" : "false";
      return true;
    case Variant::Type::kLong:
      type = "xsd:int";
      text = std::to_string(value.ToLong());
      return true;
    case Variant::Type::kDouble:
      type = "xsd:double";
      text = DoubleText(value.ToDouble());
      return true;
    default:
      type = "xsd:string";
      text = value.ToString();
      return true;
  }
}

void WriteMdDataSet(XmlWriter& out, const provider::CellsetData& data, const MdxClauses& clauses, bool schema,
                    bool with_data) {
  out.Raw("<root xmlns=\"urn:schemas-microsoft-com:xml-analysis:mddataset\" "
          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">");
  if (schema) {
    out.Raw("<xsd:schema targetNamespace=\"urn:schemas-microsoft-com:xml-analysis:mddataset\" "
            "elementFormDefault=\"qualified\"><xsd:element name=\"root\"><xsd:complexType><xsd:sequence>"
            "<xsd:any processContents=\"lax\" minOccurs=\"0\" maxOccurs=\"unbounded\"/>"
            "</xsd:sequence></xsd:complexType></xsd:element></xsd:schema>");
  }
  if (!with_data) {
    out.Raw("</root>");
    return;
  }
  std::vector<AxisView> views = AxisViews(data, clauses);
  const auto& cell_properties = clauses.cell_properties.empty() ? DefaultCellProperties() : clauses.cell_properties;

  out.Raw("<OlapInfo><CubeInfo><Cube><CubeName>").Text(clauses.cube).Raw("</CubeName></Cube></CubeInfo>");
  WriteAxesInfo(out, views);
  out.Raw("<CellInfo>");
  for (const auto& property : cell_properties) {
    if (const char* element = CellElement(property)) {
      out.Raw("<").Raw(element).Raw(" name=\"").Raw(property).Raw("\"");
      out.Raw(property == "CELL_ORDINAL" ? " type=\"xsd:unsignedInt\"/>" : "/>");
    }
  }
  out.Raw("</CellInfo></OlapInfo><Axes>");
  for (const auto& view : views) WriteTuples(out, view);
  out.Raw("</Axes><CellData>");

  bool want_value = false, want_formatted = false, want_ordinal = false;
  for (const auto& property : cell_properties) {
    want_value = want_value || property == "VALUE";
    want_formatted = want_formatted || property == "FORMATTED_VALUE";
    want_ordinal = want_ordinal || property == "CELL_ORDINAL";
  }
  const int64_t cells = CellCount(data);
  std::string type, text;
  for (int64_t ordinal = 0; ordinal < cells && !out.failed(); ++ordinal) {
    auto cell = data.GetCell(static_cast<int>(ordinal));
    Variant value = cell->Value();
    // Empty cells are left out; a client reads a missing ordinal as empty.
    if (!TypedValue(value, type, text)) continue;
    out.Raw("<Cell CellOrdinal=\"").Raw(std::to_string(ordinal)).Raw("\">");
    if (want_value) out.Raw("<Value xsi:type=\"").Raw(type).Raw("\">").Text(text).Raw("</Value>");
    if (want_formatted) out.Element("FmtValue", cell->FormattedValue());
    if (want_ordinal) out.Element("CellOrdinal", std::to_string(ordinal));
    out.Raw("</Cell>");
  }
  out.Raw("</CellData></root>");
}

void WriteTabular(XmlWriter& out, const provider::CellsetData& data, bool schema, bool with_data) {
  auto axes = data.GetAxes();
  const int axis_count = axes->Count();
  // Leading columns: the hierarchies of the axes after the first, outermost axis first.
  std::vector<std::string> columns;
  for (int axis = axis_count - 1; axis >= 1; --axis) {
    for (const auto& hierarchy : HierarchiesOf(*axes->Item(axis))) columns.push_back(hierarchy + ".[MEMBER_CAPTION]");
  }
  const size_t leading = columns.size();
  int first_count = 1;
  if (axis_count >= 1) {
    auto positions = axes->Item(0)->GetPositions();
    first_count = positions->Count();
    for (int position = 0; position < first_count; ++position) {
      auto members = positions->Item(position)->GetMembers();
      std::string name;
      for (int index = 0; index < members->Count(); ++index) {
        name += (index > 0 ? "." : "") + members->Item(index)->UniqueName();
      }
      columns.push_back(name);
    }
  } else {
    columns.push_back("Value");
  }
  std::vector<std::string> elements;
  for (size_t index = 0; index < columns.size(); ++index) elements.push_back(EncodeName(columns[index]));

  OpenRowsetRoot(out, columns, elements, schema, leading);
  if (with_data) {
    int64_t rows = 1;
    for (int axis = 1; axis < axis_count; ++axis) rows *= axes->Item(axis)->GetPositions()->Count();
    if (axis_count >= 1 && first_count == 0) rows = 0;
    std::string type, text;
    for (int64_t row = 0; row < rows && !out.failed(); ++row) {
      out.Raw("<row>");
      // The row's position on each later axis, the second axis varying fastest.
      std::vector<int> indexes(static_cast<size_t>(std::max(axis_count, 1)), 0);
      int64_t rest = row;
      for (int axis = 1; axis < axis_count; ++axis) {
        int count = axes->Item(axis)->GetPositions()->Count();
        indexes[static_cast<size_t>(axis)] = static_cast<int>(rest % count);
        rest /= count;
      }
      size_t column = 0;
      for (int axis = axis_count - 1; axis >= 1; --axis) {
        auto members = axes->Item(axis)->GetPositions()->Item(indexes[static_cast<size_t>(axis)])->GetMembers();
        for (int index = 0; index < members->Count(); ++index) {
          out.Element(elements[column++], members->Item(index)->Caption());
        }
      }
      for (int position = 0; position < first_count; ++position, ++column) {
        int64_t ordinal = row * first_count + position;
        Variant value = data.GetCell(static_cast<int>(ordinal))->Value();
        if (!TypedValue(value, type, text)) continue;
        out.Raw("<").Raw(elements[column]).Raw(" xsi:type=\"").Raw(type).Raw("\">").Text(text);
        out.Raw("</").Raw(elements[column]).Raw(">");
      }
      out.Raw("</row>");
    }
  }
  out.Raw("</root>");
}

void WriteTabularRows(XmlWriter& out, const provider::TabularData& rows, bool schema, bool with_data) {
  std::vector<std::string> elements;
  for (const std::string& column : rows.columns) elements.push_back(EncodeName(column));
  OpenRowsetRoot(out, rows.columns, elements, schema, 0);
  if (with_data) {
    std::string type, text;
    for (size_t row = 0; row < rows.rows.size() && !out.failed(); ++row) {
      out.Raw("<row>");
      for (size_t column = 0; column < rows.rows[row].size() && column < elements.size(); ++column) {
        if (!TypedValue(rows.rows[row][column], type, text)) continue;
        out.Raw("<").Raw(elements[column]).Raw(" xsi:type=\"").Raw(type).Raw("\">").Text(text);
        out.Raw("</").Raw(elements[column]).Raw(">");
      }
      out.Raw("</row>");
    }
  }
  out.Raw("</root>");
}

}  // namespace orvex::xmla
