#pragma once
#include <string_view>

#include "platform/scripting/dictionary.h"

namespace orvex::provider {

// Splits "key=value;key=value" into a dictionary whose keys ignore case.
// Keys and values are trimmed; a piece without "=" is a key with an empty
// value; empty pieces are skipped; only the first "=" of a piece splits it; no
// quoting is recognised. A key given twice throws ComError 457.
Dictionary ParseConnectionString(std::string_view connection_string);

}  // namespace orvex::provider
