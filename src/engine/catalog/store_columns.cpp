#include "engine/catalog/store_columns.h"

#include "engine/store/row_set.h"
#include "engine/store/store.h"
#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::engine::detail {

std::optional<StoreColumns> StoreColumns::Read(const Store& store) {
  std::optional<RowSet> rows;
  try {
    rows.emplace(store.Query("SELECT CAST(table_schema AS VARCHAR), CAST(table_name AS VARCHAR), CAST(column_name AS VARCHAR) "
                           "FROM information_schema.columns"));
  } catch (const ComError&) {
    // A store that cannot list its columns still serves its cubes; names are
    // then checked by the store itself when it is queried.
    return std::nullopt;
  }
  StoreColumns columns;
  for (size_t row = 0; row < rows->row_count(); ++row) {
    const auto* schema = std::get_if<std::string>(&rows->at(row, 0));
    const auto* table = std::get_if<std::string>(&rows->at(row, 1));
    const auto* column = std::get_if<std::string>(&rows->at(row, 2));
    if (schema && table && column) columns.Add(*schema, *table, *column);
  }
  return columns;
}

void StoreColumns::Add(std::string_view schema, std::string_view table, std::string_view column) {
  std::string lower_schema = ToLower(schema);
  std::string lower_table = ToLower(table);
  std::string lower_column = ToLower(column);
  tables_.emplace(lower_schema, lower_table);
  tables_any_schema_.emplace(lower_table, "");
  columns_.emplace(std::make_pair(lower_schema, lower_table), lower_column);
  columns_any_schema_.emplace(lower_table, lower_column);
}

std::vector<std::string> StoreColumns::TableNames() const {
  std::vector<std::string> names;
  for (const auto& [table, _] : tables_any_schema_) names.push_back(table);
  return names;
}

bool StoreColumns::HasTable(std::string_view schema, std::string_view table) const {
  if (schema.empty()) return tables_any_schema_.count({ToLower(table), ""}) > 0;
  return tables_.count({ToLower(schema), ToLower(table)}) > 0;
}

bool StoreColumns::HasColumn(std::string_view schema, std::string_view table, std::string_view column) const {
  if (schema.empty()) return columns_any_schema_.count({ToLower(table), ToLower(column)}) > 0;
  return columns_.count({{ToLower(schema), ToLower(table)}, ToLower(column)}) > 0;
}

}  // namespace orvex::engine::detail
