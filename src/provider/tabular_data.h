#pragma once
#include <string>
#include <vector>

#include "platform/com/variant.h"

namespace orvex::provider {

// Rows as a provider answers a statement that returns a table rather than
// cells (a drill-through): a heading per column and, per row, one value per
// column (null where the store has none, else a number or a text).
struct TabularData {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

}  // namespace orvex::provider
