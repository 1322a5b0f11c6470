#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "engine/store/clickhouse/clickhouse_settings.h"
#include "engine/store/deadline.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

// ClickHouse's escaping, in names and values alike: a backslash before the
// quote character and before a backslash. Throws ComError for a NUL byte.
std::string QuoteClickHouseIdentifier(std::string_view name);  // `name`
std::string QuoteClickHouseLiteral(std::string_view text);       // 'text'

// One keep-alive HTTP connection to one ClickHouse server; reopened by itself
// when the server closed it between statements. One thread at a time.
// Failures throw ComError naming the server by its address (never the
// password) and carrying the server's own message.
class ClickHouseConnection {
 public:
  // Connects nothing yet: the first statement does. Throws for an address
  // that is not "http://host[:port]".
  ClickHouseConnection(const ClickHouseSettings& settings, const std::string& url);
  ClickHouseConnection(ClickHouseConnection&&) noexcept;
  ClickHouseConnection& operator=(ClickHouseConnection&&) noexcept;
  ClickHouseConnection(const ClickHouseConnection&) = delete;
  ClickHouseConnection& operator=(const ClickHouseConnection&) = delete;
  ~ClickHouseConnection();

  // Runs one SELECT and returns its rows with their types: integers up to 64
  // bits as integers, wider ones and Decimal columns as exact decimals,
  // floats as doubles (NaN as null, as the other stores give no value), the
  // rest as texts; NULL as null. Past `deadline` (or the settings' timeout)
  // the server stops it; when the answer does not come, the statement is
  // killed on the server and the connection closed.
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline = kNoDeadline);
  // Runs a statement that returns nothing (DDL); throws on failure.
  void Execute(std::string_view sql);
  // Sends `body` as the data of `insert_sql` ("INSERT INTO t FORMAT TabSeparated").
  void Insert(std::string_view insert_sql, const std::string& body);

  // False after a failure that may have left the connection in doubt.
  bool usable() const { return usable_; }
  const std::string& url() const { return url_; }

 private:
  struct Client;
  std::string Post(std::string_view sql, const std::string& body, Deadline deadline);
  ClickHouseSettings settings_;
  std::string url_;
  std::unique_ptr<Client> client_;
  bool usable_ = true;
};

// One value as a line of TabSeparated input: tab, newline and backslash
// escaped, null as \N.
void AppendTabSeparated(const KeyValue& value, std::string& line);

}  // namespace orvex::engine
