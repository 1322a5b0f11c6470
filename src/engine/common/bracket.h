#pragma once
#include <string>
#include <string_view>

namespace orvex::engine {

// A name as one part of a unique name: in brackets, "]" doubled.
std::string Bracket(std::string_view name);

}  // namespace orvex::engine
