#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "engine/store/duckdb/duckdb_connection.h"

namespace orvex::engine {

// An open DuckDB database file. Connect() may be called from any thread; the
// database closes when the last of this object and its connections is gone.
class DuckDbDatabase {
 public:
  enum class Mode {
    kReadOnly,   // the file must exist; several processes may read it at once
    kReadWrite,  // creates the file when it is missing; one process at a time
  };
  struct Options {
    std::string memory_limit;  // DuckDB's memory_limit, e.g. "512MB"; "" keeps DuckDB's default
    int threads = 0;           // 0 keeps DuckDB's default (every core)
  };

  // Throws ComError when the file cannot be opened (missing in read-only
  // mode, not a database, locked by another writer).
  static DuckDbDatabase Open(const std::filesystem::path& path, Mode mode, const Options& options);
  static DuckDbDatabase Open(const std::filesystem::path& path, Mode mode) { return Open(path, mode, Options{}); }

  DuckDbDatabase(DuckDbDatabase&&) noexcept;
  DuckDbDatabase& operator=(DuckDbDatabase&&) noexcept;
  DuckDbDatabase(const DuckDbDatabase&) = delete;
  DuckDbDatabase& operator=(const DuckDbDatabase&) = delete;
  ~DuckDbDatabase();

  // A new connection; throws ComError when DuckDB refuses one.
  DuckDbConnection Connect() const;

 private:
  struct Handle;  // the C handle, defined in the .cpp only; shared with the connections
  explicit DuckDbDatabase(std::shared_ptr<Handle> handle);
  std::shared_ptr<Handle> handle_;
};

}  // namespace orvex::engine
