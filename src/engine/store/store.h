#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/common/key_value.h"
#include "engine/store/deadline.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

// Standard SQL quoting, which DuckDB and PostgreSQL share: an identifier in
// double quotes and a text in single quotes, the quote character doubled
// inside. Throws ComError for a text holding a NUL byte, which no store takes.
std::string QuoteStandardIdentifier(std::string_view name);
std::string QuoteStandardLiteral(std::string_view text);

// The SQL database under a catalog. The engine generates one SQL text for
// every store and asks the store only to quote names and values for its
// dialect and to run SELECT statements. Implementations are thread-safe:
// any number of threads may query at once.
class Store {
 public:
  virtual ~Store() = default;

  // Runs one SELECT and returns every row; throws ComError carrying the
  // store's own message when the statement fails, and when it is still
  // running at `deadline` (it is interrupted then; the connection stays usable).
  [[nodiscard]] virtual RowSet Query(std::string_view sql, Deadline deadline) const = 0;
  [[nodiscard]] RowSet Query(std::string_view sql) const { return Query(sql, kNoDeadline); }

  // Throws ComError when the store's server cannot be reached now (down, or
  // refusing the login); a store without a server always passes.
  virtual void CheckReachable() const {}

  // The dialect names a schema's <SQL dialect="..."> may use for this store,
  // most specific first; "generic" always comes last.
  virtual const std::vector<std::string>& dialects() const = 0;

  // An identifier in double quotes, inner double quotes doubled: "my ""x""".
  virtual std::string QuoteIdentifier(std::string_view name) const;
  // A text literal in single quotes, inner single quotes doubled. Throws
  // ComError for a text holding a NUL byte, which no store can take.
  virtual std::string QuoteLiteral(std::string_view text) const;
  // A key value as a literal: integers in decimal, doubles exactly, texts
  // quoted, null as NULL.
  std::string Literal(const KeyValue& value) const;
};

// Runs `query` for `sql`; with ORVEX_SQL_TRACE set in the environment, also
// prints the statement with its time and row count to standard error, to
// see what the engine asks of a store.
RowSet TraceQuery(std::string_view sql, const std::function<RowSet()>& query);

}  // namespace orvex::engine
