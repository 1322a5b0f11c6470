#include "engine/eval/statement_cache.h"

#include "engine/mdx/parser.h"

namespace orvex::engine {

StatementCache& StatementCache::Shared() {
  static StatementCache cache;
  return cache;
}

template <class T, class Parse>
std::shared_ptr<const T> StatementCache::Get(LruMap<std::string, std::shared_ptr<const T>>& map, std::string_view text,
                                             Parse parse) {
  std::string key(text);
  {
    std::lock_guard lock(mutex_);
    if (auto* found = map.Find(key)) return *found;
  }
  // Parsed outside the lock: a long statement must not hold up the others.
  std::shared_ptr<const T> parsed = parse(text);
  std::lock_guard lock(mutex_);
  // Another thread may have put the same text meanwhile: the first one stays shared.
  if (auto* found = map.Find(key)) return *found;
  return map.Put(std::move(key), std::move(parsed));
}

std::shared_ptr<const mdx::Statement> StatementCache::Statement(std::string_view text) {
  return Get(statements_, text, [](std::string_view t) {
    return std::shared_ptr<const mdx::Statement>(mdx::Parser::ParseStatement(t));
  });
}

std::shared_ptr<const mdx::Node> StatementCache::Expression(std::string_view text) {
  return Get(expressions_, text, [](std::string_view t) {
    return std::shared_ptr<const mdx::Node>(mdx::Parser::ParseExpression(t));
  });
}

}  // namespace orvex::engine
