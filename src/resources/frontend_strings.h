#pragma once
#include "resources/string_table.h"

namespace orvex {

// The front end's texts 1 to 85 (none for 25, 78 to 80), English and Dutch.
const StringTable& FrontendStrings();

}  // namespace orvex
