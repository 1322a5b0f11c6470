#pragma once
#include <string>
#include <vector>

#include "platform/com/variant.h"

namespace orvex::provider {

// Rows of named columns, as a drill-through statement answers.
struct TabularData {
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;
};

}  // namespace orvex::provider
