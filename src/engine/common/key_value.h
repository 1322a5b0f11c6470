#pragma once
#include <cstdint>
#include <string>
#include <variant>

#include "engine/common/decimal.h"

namespace orvex::engine {

// A value of a level's key column as the store returned it: null, an integer,
// a double, a text or an exact decimal (DECIMAL and NUMERIC columns). Compared
// exactly; used to filter and to match rows.
using KeyValue = std::variant<std::monostate, int64_t, double, std::string, Decimal>;

}  // namespace orvex::engine
