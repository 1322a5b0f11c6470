#pragma once
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvex::engine {

class Store;

namespace detail {

// The tables and columns a store holds, read once when a catalog loads so
// that a misspelt name in the schema is reported then, with its schema line,
// rather than as a database error in the middle of a page. Names compare
// without regard to case. Immutable once read; any thread may use it.
class StoreColumns {
 public:
  // Reads the store's catalog (information_schema, which every supported
  // store has); nullopt when the store cannot list it, in which case callers
  // check nothing.
  static std::optional<StoreColumns> Read(const Store& store);

  // `schema` "" matches a table of that name in any database schema.
  [[nodiscard]] bool HasTable(std::string_view schema, std::string_view table) const;
  [[nodiscard]] bool HasColumn(std::string_view schema, std::string_view table, std::string_view column) const;

  // The names of every table, lower-cased, in name order (each once, whatever its database schema).
  [[nodiscard]] std::vector<std::string> TableNames() const;

  // Adds one column; for building a StoreColumns by hand.
  void Add(std::string_view schema, std::string_view table, std::string_view column);

 private:
  // Lower-cased (schema, table) and (schema, table, column) triples.
  std::set<std::pair<std::string, std::string>> tables_;
  std::set<std::pair<std::string, std::string>> tables_any_schema_;  // (table, "")
  std::set<std::pair<std::pair<std::string, std::string>, std::string>> columns_;
  std::set<std::pair<std::string, std::string>> columns_any_schema_;  // (table, column)
};

}  // namespace detail
}  // namespace orvex::engine
