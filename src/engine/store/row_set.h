#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "engine/common/key_value.h"

namespace orvex::engine {

// The rows one query returned, each value null, an integer, a double, a
// text or an exact decimal. Aggregates come back as integers, doubles or (over
// DECIMAL and NUMERIC columns, and integers past 64 bits) exact decimals; a
// NULL is std::monostate. Stored row after row in one vector to stay compact.
class RowSet {
 public:
  explicit RowSet(std::vector<std::string> column_names) : column_names_(std::move(column_names)) {}

  const std::vector<std::string>& column_names() const { return column_names_; }
  size_t column_count() const { return column_names_.size(); }
  size_t row_count() const { return column_names_.empty() ? 0 : values_.size() / column_names_.size(); }
  const KeyValue& at(size_t row, size_t column) const { return values_[row * column_names_.size() + column]; }

  // Appends one value; a row is complete after column_count() values.
  void Append(KeyValue value) { values_.push_back(std::move(value)); }
  void Reserve(size_t rows) { values_.reserve(rows * column_names_.size()); }

 private:
  std::vector<std::string> column_names_;
  std::vector<KeyValue> values_;
};

// A value as a number: integers and doubles as they are, decimals as their
// nearest double; null and text give false. Used for aggregates.
[[nodiscard]] bool ToDouble(const KeyValue& value, double& out);
// A value as display text: integers in decimal, doubles and decimals in their
// shortest exact form ("2.5", "1997"), texts as they are, null as "#null".
std::string ToText(const KeyValue& value);

}  // namespace orvex::engine
