#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace orvex::engine {

// A value of a level's key column as the store returned it: null, an integer,
// a double or a text. Compared exactly; used to filter and to match rows.
using KeyValue = std::variant<std::monostate, int64_t, double, std::string>;

}  // namespace orvex::engine
