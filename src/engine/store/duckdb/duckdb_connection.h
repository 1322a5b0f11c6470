#pragma once
#include <memory>
#include <string_view>

#include "engine/store/deadline.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

class DuckDbDatabase;

// One connection to an open DuckDB database. One thread at a time; give each
// worker its own. Failures throw ComError carrying DuckDB's own message; the
// connection stays usable after a failed statement.
class DuckDbConnection {
 public:
  DuckDbConnection(DuckDbConnection&&) noexcept;
  DuckDbConnection& operator=(DuckDbConnection&&) noexcept;
  DuckDbConnection(const DuckDbConnection&) = delete;
  DuckDbConnection& operator=(const DuckDbConnection&) = delete;
  ~DuckDbConnection();

  // Runs `sql` (one statement, or several separated by semicolons) and
  // returns the rows of the last. Integer columns come back as int64_t,
  // DECIMAL and floating columns as double, texts, dates and timestamps as
  // text; a type it cannot convert throws. A statement still running at
  // `deadline` is interrupted and throws; the connection stays usable.
  [[nodiscard]] RowSet Query(std::string_view sql, Deadline deadline = kNoDeadline);
  // Runs `sql` and discards any rows (CREATE, INSERT, COPY, several statements).
  void Execute(std::string_view sql);

 private:
  friend class DuckDbDatabase;
  struct Handle;  // the C handle, defined in the .cpp only
  explicit DuckDbConnection(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace orvex::engine
