#include "resources/string_table.h"

#include "platform/com/com_error.h"
#include "platform/runtime/runtime.h"

namespace orvex {
namespace {

// The language offset of each table on this thread, set on the first ReadString.
thread_local std::unordered_map<const StringTable*, int> thread_offsets;

}  // namespace

StringTable::StringTable(std::string component_title,
                         std::initializer_list<std::pair<int, std::string_view>> resources)
    : component_title_(std::move(component_title)) {
  for (const auto& [id, text] : resources) resources_.emplace(id, std::string(text));
}

int32_t StringTable::GetLCID() { return runtime::GetThreadLocale(); }

std::string StringTable::ReadString(int n) const {
  auto [entry, first_call] = thread_offsets.try_emplace(this, 0);
  if (first_call) entry->second = GetLCID() == runtime::kLocaleDutch ? 200 : 100;
  auto found = resources_.find(n + entry->second);
  if (found == resources_.end()) {
    throw ComError(errors::kResourceNotFound, component_title_,
                   "Resource with identifier '" + std::to_string(n + entry->second) + "' not found");
  }
  return found->second;
}

}  // namespace orvex
