#pragma once
#include <cstddef>
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

  // The column `column` of the table or subquery named `alias` in a FROM clause.
  virtual std::string QuoteColumn(std::string_view alias, std::string_view column) const;
  // How GROUP BY and ORDER BY name the select list's column at `position`
  // (from 1), whose text is `expression`: by default the position itself.
  virtual std::string SelectListKey(size_t position, const std::string& expression) const;

  // One table of a FROM clause, and one equality that links two of them.
  struct FromTable {
    std::string alias;       // unquoted
    std::string sql;         // "\"schema\".\"table\" AS \"alias\"", or a subquery with its alias
    std::string schema, name;  // unquoted; name is empty when `sql` is not a plain table
  };
  struct FromLink {
    std::string left_alias, right_alias;  // unquoted
    std::string sql;                      // "\"a\".\"x\" = \"b\".\"y\""
  };
  // The body of a FROM clause joining `tables` in their order, each with the
  // links to the tables before it; one with none yet is cross joined.
  // Throws ComError when the store cannot join them.
  virtual std::string FromClause(const std::vector<FromTable>& tables, const std::vector<FromLink>& links) const;

  // One grouped aggregate statement in parts, as the cell reader asks it;
  // texts are quoted for this store already.
  struct GroupedSelect {
    std::vector<std::string> keys;        // grouped by, first in the select list
    std::vector<std::string> aggregates;  // after the keys
    std::vector<FromTable> tables;        // the fact table first
    std::vector<FromLink> links;
    std::vector<std::string> filters;     // all must hold
  };
  // The statement: SELECT keys, aggregates FROM FromClause WHERE filters
  // GROUP BY keys; without keys HAVING COUNT(*) > 0, so that no fact row
  // gives no row. A store may arrange it otherwise for the same rows.
  virtual std::string GroupedSelectSql(const GroupedSelect& select) const;

 protected:
  // The literal of a finite double, given its shortest exact digits.
  virtual std::string RealLiteral(std::string_view digits) const;
};

// Runs `query` for `sql`; with ORVEX_SQL_TRACE set in the environment, also
// prints the statement with its time and row count to standard error, to
// see what the engine asks of a store.
RowSet TraceQuery(std::string_view sql, const std::function<RowSet()>& query);

}  // namespace orvex::engine
