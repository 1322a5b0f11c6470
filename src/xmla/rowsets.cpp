#include "xmla/rowsets.h"

#include <stdexcept>

#include "platform/text.h"

namespace orvex::xmla {

Row& Row::Set(std::string_view column, std::string value) {
  for (size_t index = 0; index < columns_->size(); ++index) {
    if ((*columns_)[index].name == column) {
      values_[index] = std::move(value);
      return *this;
    }
  }
  throw std::logic_error("rowset has no column " + std::string(column));
}

const std::string* Row::Find(std::string_view column) const {
  for (size_t index = 0; index < columns_->size(); ++index) {
    if ((*columns_)[index].name == column) return values_[index] ? &*values_[index] : nullptr;
  }
  return nullptr;
}

const RowsetDef* FindRowset(std::string_view request_type) {
  for (const auto& rowset : RowsetDefs()) {
    if (EqualsIgnoreCase(rowset.name, Trim(request_type))) return &rowset;
  }
  return nullptr;
}

bool MatchesRestrictions(const RowsetDef& rowset, const Row& row, const Restrictions& restrictions) {
  for (size_t index = 0; index < rowset.columns.size(); ++index) {
    const ColumnDef& column = rowset.columns[index];
    if (!column.restriction) continue;
    auto found = restrictions.find(ToUpper(column.name));
    if (found == restrictions.end() || found->second.empty()) continue;
    const auto& value = row.Value(index);
    bool any = false;
    for (const auto& wanted : found->second) any = any || (value && EqualsIgnoreCase(*value, wanted));
    if (!any) return false;
  }
  return true;
}

namespace {

const char* XsdType(ColumnType type) {
  switch (type) {
    case ColumnType::kString: return "xsd:string";
    case ColumnType::kInt: return "xsd:int";
    case ColumnType::kUnsignedInt: return "xsd:unsignedInt";
    case ColumnType::kShort: return "xsd:short";
    case ColumnType::kUnsignedShort: return "xsd:unsignedShort";
    case ColumnType::kBoolean: return "xsd:boolean";
    case ColumnType::kDouble: return "xsd:double";
    case ColumnType::kDateTime: return "xsd:dateTime";
    case ColumnType::kUuid: return "uuid";
    case ColumnType::kRestrictionList: return "";
  }
  return "xsd:string";
}

void WriteSchema(XmlWriter& out, const RowsetDef& rowset) {
  out.Raw("<xsd:schema targetNamespace=\"urn:schemas-microsoft-com:xml-analysis:rowset\" "
          "xmlns:sql=\"urn:schemas-microsoft-com:xml-sql\" elementFormDefault=\"qualified\">"
          "<xsd:element name=\"root\"><xsd:complexType><xsd:sequence minOccurs=\"0\" maxOccurs=\"unbounded\">"
          "<xsd:element name=\"row\" type=\"row\"/></xsd:sequence></xsd:complexType></xsd:element>"
          "<xsd:simpleType name=\"uuid\"><xsd:restriction base=\"xsd:string\"><xsd:pattern value=\""
          "[0-9a-zA-Z]{8}-[0-9a-zA-Z]{4}-[0-9a-zA-Z]{4}-[0-9a-zA-Z]{4}-[0-9a-zA-Z]{12}\"/></xsd:restriction>"
          "</xsd:simpleType><xsd:complexType name=\"row\"><xsd:sequence>");
  for (const auto& column : rowset.columns) {
    if (column.type == ColumnType::kRestrictionList) {
      out.Raw("<xsd:element sql:field=\"").Raw(column.name).Raw("\" name=\"").Raw(column.name)
          .Raw("\" minOccurs=\"0\" maxOccurs=\"unbounded\"><xsd:complexType><xsd:sequence>"
               "<xsd:element name=\"Name\" type=\"xsd:string\" sql:field=\"Name\"/>"
               "<xsd:element name=\"Type\" type=\"xsd:string\" sql:field=\"Type\"/>"
               "</xsd:sequence></xsd:complexType></xsd:element>");
    } else {
      out.Raw("<xsd:element sql:field=\"").Raw(column.name).Raw("\" name=\"").Raw(column.name).Raw("\" type=\"")
          .Raw(XsdType(column.type)).Raw("\" minOccurs=\"0\"/>");
    }
  }
  out.Raw("</xsd:sequence></xsd:complexType></xsd:schema>");
}

}  // namespace

void WriteRowset(XmlWriter& out, const RowsetDef& rowset, const std::vector<Row>& rows, bool schema, bool data) {
  out.Raw("<root xmlns=\"urn:schemas-microsoft-com:xml-analysis:rowset\" "
          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">");
  if (schema) WriteSchema(out, rowset);
  if (data) {
    for (const Row& row : rows) {
      out.Raw("<row>");
      for (size_t index = 0; index < rowset.columns.size(); ++index) {
        const auto& value = row.Value(index);
        if (!value) continue;
        if (rowset.columns[index].type == ColumnType::kRestrictionList) {
          out.Raw(*value);
        } else {
          out.Element(rowset.columns[index].name, *value);
        }
      }
      out.Raw("</row>");
    }
  }
  out.Raw("</root>");
}

}  // namespace orvex::xmla
