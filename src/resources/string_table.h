#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace orvex {

// A component's localised texts: resource 100 + N holds text N in English and
// 200 + N in Dutch. Each table keeps its own per-thread language, chosen on
// the thread's first ReadString and kept for the life of the thread.
// Thread-safe: the texts are fixed at construction.
class StringTable {
 public:
  StringTable(std::string component_title, std::initializer_list<std::pair<int, std::string_view>> resources);

  // Text `n` in this thread's language: offset 200 when the thread's locale
  // is exactly 1043 at the first call, else 100. Throws ComError 326 (source:
  // the component's title) when there is no such resource.
  std::string ReadString(int n) const;

  // The calling thread's locale, asked afresh on every call.
  static int32_t GetLCID();

 private:
  std::string component_title_;
  std::unordered_map<int, std::string> resources_;
};

}  // namespace orvex
