#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "provider/session.h"
#include "xmla/xml_writer.h"

namespace orvex::xmla {

enum class ColumnType { kString, kInt, kUnsignedInt, kShort, kUnsignedShort, kBoolean, kDouble, kDateTime, kUuid,
                        kRestrictionList };

struct ColumnDef {
  const char* name;
  ColumnType type;
  bool restriction = false;  // a client may restrict the rowset by this column
};

// The values of a request's restrictions by name (upper case); a restriction
// given as a list of <Value> elements holds every value.
using Restrictions = std::map<std::string, std::vector<std::string>>;

// The settings of one Discover: what the service knows about itself and the
// request's properties.
struct DiscoverContext {
  provider::Session& session;
  std::string data_source_name;  // the server's own, listed by DISCOVER_DATASOURCES
  std::string data_source_info;  // "Provider=...;Data Source=..."
  std::string provider_name;
  std::string url;
  std::string catalog;  // the Catalog property, or ""
  std::map<std::string, std::string> properties;  // every property of the request, names as sent
};

// One row: a value per column of its rowset, nullopt for no value (left out
// of the row). A kRestrictionList value is markup, already escaped.
class Row {
 public:
  explicit Row(const std::vector<ColumnDef>& columns) : columns_(&columns), values_(columns.size()) {}
  // Throws std::logic_error for a column the rowset does not have.
  Row& Set(std::string_view column, std::string value);
  Row& Set(std::string_view column, int64_t value) { return Set(column, std::to_string(value)); }
  Row& Set(std::string_view column, int value) { return Set(column, std::to_string(value)); }
  Row& Set(std::string_view column, bool value) { return Set(column, std::string(value ? "true" : "false")); }
  Row& Set(std::string_view column, const char* value) { return Set(column, std::string(value)); }
  const std::optional<std::string>& Value(size_t column) const { return values_[column]; }
  // The value of a named column, or nullptr.
  const std::string* Find(std::string_view column) const;

 private:
  const std::vector<ColumnDef>* columns_;
  std::vector<std::optional<std::string>> values_;
};

using RowProducer = std::function<void(const DiscoverContext&, const Restrictions&, std::vector<Row>& rows)>;

struct RowsetDef {
  const char* name;
  const char* description;
  std::vector<ColumnDef> columns;
  // Restrictions that are no column of the rowset: TREE_OP, and those that
  // clients send by habit and that hold for every row here (CUBE_SOURCE and
  // the visibilities ask for cubes and visible objects, which is all there is).
  std::vector<ColumnDef> extra_restrictions;
  RowProducer produce;
};

// Every rowset Discover answers, in the order DISCOVER_SCHEMA_ROWSETS lists them.
const std::vector<RowsetDef>& RowsetDefs();
// The rowset of a request type (compared without regard to case), or nullptr.
const RowsetDef* FindRowset(std::string_view request_type);

// Whether `row` passes every restriction that names one of its columns
// (values compared without regard to case; a list matches any of its values).
bool MatchesRestrictions(const RowsetDef& rowset, const Row& row, const Restrictions& restrictions);

// Writes <root> in the rowset namespace: the XSD schema of the rowset's row
// (when `schema`) and the rows (when `data`).
void WriteRowset(XmlWriter& out, const RowsetDef& rowset, const std::vector<Row>& rows, bool schema, bool data);

}  // namespace orvex::xmla
