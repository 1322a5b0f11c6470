#pragma once
#include "resources/string_table.h"

namespace orvex {

// The saved-views store's own texts (component "Porlane"), English and Dutch,
// with a per-thread language of their own.
const StringTable& WebFileSystemStrings();

}  // namespace orvex
