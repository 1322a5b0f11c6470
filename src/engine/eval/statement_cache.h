#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/eval/lru_map.h"
#include "engine/mdx/ast.h"

namespace orvex::engine {

// Parsed statements and formulas keyed by their text, so that a statement the
// object model sends again (every page view sends the same ones) is not parsed
// again. Syntax trees are immutable and shared. Thread-safe. When full, it
// forgets the text least recently asked for; parse errors are not cached.
class StatementCache {
 public:
  explicit StatementCache(size_t capacity = 512) : statements_(capacity), expressions_(capacity) {}
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The process-wide cache.
  static StatementCache& Shared();

  // Throws ComError for malformed MDX, like the Parser.
  std::shared_ptr<const mdx::Statement> Statement(std::string_view text);
  std::shared_ptr<const mdx::Node> Expression(std::string_view text);

 private:
  template <class T, class Parse>
  std::shared_ptr<const T> Get(LruMap<std::string, std::shared_ptr<const T>>& map, std::string_view text, Parse parse);

  std::mutex mutex_;
  LruMap<std::string, std::shared_ptr<const mdx::Statement>> statements_;  // guarded by mutex_
  LruMap<std::string, std::shared_ptr<const mdx::Node>> expressions_;     // guarded by mutex_
};

}  // namespace orvex::engine
