#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/store/deadline.h"
#include "engine/store/postgres/postgres_settings.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

// One connection to a PostgreSQL database. One thread at a time; give each
// worker its own. Failures throw ComError carrying the server's own message;
// none of them names a password.
class PostgresConnection {
 public:
  // Connects; throws ComError when the server cannot be reached or refuses
  // the login (unknown user or database, wrong password).
  static PostgresConnection Open(const PostgresSettings& settings);

  PostgresConnection(PostgresConnection&&) noexcept;
  PostgresConnection& operator=(PostgresConnection&&) noexcept;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;
  ~PostgresConnection();

  // Runs one statement and returns its rows: integers as int64_t, floating
  // and numeric values as double, booleans as 1 and 0, everything else
  // (texts, dates, timestamps) as text. A statement that runs past the
  // settings' statement_timeout is cancelled and throws; the connection stays
  // usable after that and after any failed statement, unless the server went
  // away (then IsOpen() is false). So is one still running at `deadline`.
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline = kNoDeadline);
  // Runs one or several statements (separated by semicolons) and discards their rows.
  void Execute(std::string_view sql);
  // Runs `copy_sql` (COPY ... FROM STDIN) and sends the data: `next` fills
  // its argument with the next piece of COPY text and returns false when
  // there is no more. An exception from `next` aborts the COPY and is
  // rethrown; the rows sent so far are not kept.
  void CopyIn(std::string_view copy_sql, const std::function<bool(std::string&)>& next);

  // False once the server has closed the connection (a restart, a terminated
  // session) or a statement lost it. Reads what the server sent since the
  // last statement; never waits.
  [[nodiscard]] bool IsOpen();

 private:
  struct Handle;  // the libpq handle, defined in the .cpp only
  explicit PostgresConnection(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace orvex::engine
