#include "engine/store/duckdb/duckdb_database.h"

#include <string>

#include "engine/common/engine_error.h"
#include "engine/store/duckdb/duckdb_handles.h"

namespace orvex::engine {
namespace {

// duckdb_config, released even when a setting fails.
class Config {
 public:
  Config() {
    if (duckdb_create_config(&config_) == DuckDBError) throw EngineError("DuckDB could not create a configuration.");
  }
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;
  ~Config() { duckdb_destroy_config(&config_); }

  void Set(const char* name, const std::string& value) {
    if (duckdb_set_config(config_, name, value.c_str()) == DuckDBError) {
      throw EngineError(std::string("DuckDB refused the setting ") + name + " = " + value + ".");
    }
  }
  duckdb_config get() const { return config_; }

 private:
  duckdb_config config_ = nullptr;
};

}  // namespace

DuckDbDatabase DuckDbDatabase::Open(const std::filesystem::path& path, Mode mode, const Options& options) {
  std::error_code error;
  if (mode == Mode::kReadOnly && !std::filesystem::is_regular_file(path, error)) {
    throw EngineError("The data file '" + path.string() + "' does not exist.");
  }
  Config config;
  config.Set("access_mode", mode == Mode::kReadOnly ? "READ_ONLY" : "READ_WRITE");
  if (!options.memory_limit.empty()) config.Set("memory_limit", options.memory_limit);
  if (options.threads > 0) config.Set("threads", std::to_string(options.threads));
  // A catalog's store answers only what its schema asks; it never reaches outside its file.
  config.Set("autoinstall_known_extensions", "false");
  config.Set("autoload_known_extensions", "false");

  auto handle = std::make_shared<Handle>();
  char* message = nullptr;
  if (duckdb_open_ext(path.c_str(), &handle->database, config.get(), &message) == DuckDBError) {
    std::string text = message ? message : "unknown error";
    if (message) duckdb_free(message);
    handle->database = nullptr;
    throw EngineError("The data file '" + path.string() + "' could not be opened: " + text);
  }
  return DuckDbDatabase(std::move(handle));
}

DuckDbDatabase::DuckDbDatabase(std::shared_ptr<Handle> handle) : handle_(std::move(handle)) {}
DuckDbDatabase::DuckDbDatabase(DuckDbDatabase&&) noexcept = default;
DuckDbDatabase& DuckDbDatabase::operator=(DuckDbDatabase&&) noexcept = default;
DuckDbDatabase::~DuckDbDatabase() = default;

DuckDbConnection DuckDbDatabase::Connect() const {
  auto connection = std::make_unique<DuckDbConnection::Handle>();
  if (duckdb_connect(handle_->database, &connection->connection) == DuckDBError) {
    connection->connection = nullptr;
    throw EngineError("DuckDB refused a new connection.");
  }
  connection->database = handle_;
  return DuckDbConnection(std::move(connection));
}

}  // namespace orvex::engine
