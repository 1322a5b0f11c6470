#pragma once
#include <string>
#include <string_view>

namespace orvex::olap::detail {

// Globals::AppendToList in place: a list built item by item stays linear in its length.
inline void AppendInPlace(std::string& list, std::string_view item, std::string_view delimiter) {
  if (!list.empty()) list.append(delimiter);
  list.append(item);
}

}  // namespace orvex::olap::detail
