#include "engine/store/store_config.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/common/engine_error.h"
#include "engine/store/clickhouse/clickhouse_store.h"
#include "engine/store/duckdb/duckdb_store.h"
#include "engine/store/postgres/postgres_store.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

constexpr const char* kFileName = "store.conf";

// The libpq keywords a store.conf may give; anything else is a typing error
// or an attempt to set what the engine must decide itself.
constexpr std::string_view kConnectionKeywords[] = {
    "host",    "hostaddr", "port",        "dbname", "user",    "password",         "passfile",
    "connect_timeout", "sslmode", "sslcert", "sslkey", "sslrootcert", "sslcrl", "application_name",
    "options", "target_session_attrs", "service"};

[[noreturn]] void Fail(int line, const std::string& what) {
  throw EngineError(std::string(kFileName) + " line " + std::to_string(line) + ": " + what);
}

double Number(int line, const std::string& key, const std::string& value) {
  double number = 0;
  auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(number) || number < 0) {
    Fail(line, "the setting '" + key + "' takes a number of 0 or more.");
  }
  return number;
}

// One setting of a ClickHouse store. A password file holds the password on
// its first line; a file that cannot be read is named, its content never.
void ReadClickHouseSetting(int line, const std::string& key, const std::string& value, ClickHouseSettings& settings) {
  if (key == "url") {
    settings.urls.clear();
    for (const auto& url : Split(value, ",")) {
      std::string trimmed = Trim(url);
      if (trimmed.rfind("http://", 0) != 0 && trimmed.rfind("https://", 0) != 0) {
        Fail(line, "url takes addresses starting with http:// or https://, separated by commas.");
      }
      if (trimmed.find('@') != std::string::npos) Fail(line, "url holds no user or password; give them as settings.");
      settings.urls.push_back(trimmed);
    }
  } else if (key == "database") {
    settings.database = value;
  } else if (key == "user") {
    settings.user = value;
  } else if (key == "password") {
    settings.password = value;
  } else if (key == "password_file") {
    std::ifstream file(value, std::ios::binary);
    std::string password;
    if (!file || !std::getline(file, password)) Fail(line, "the password_file cannot be read.");
    if (!password.empty() && password.back() == '\r') password.pop_back();
    settings.password = password;
  } else if (key == "cluster") {
    settings.cluster = value;
  } else {
    Fail(line, "unknown setting '" + key + "' for a ClickHouse store.");
  }
}

}  // namespace

StoreConfig StoreConfig::Read(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::path file = folder / kFileName;
  if (!std::filesystem::exists(file, error)) {
    StoreConfig config;
    config.duckdb_file = folder / "data.duckdb";
    return config;
  }
  std::ifstream input(file, std::ios::binary);
  std::ostringstream text;
  text << input.rdbuf();
  if (!input) throw EngineError(std::string("The catalog's ") + kFileName + " cannot be read.");
  StoreConfig config = Parse(text.str());
  if (config.kind == Kind::kDuckDb) config.duckdb_file = folder / "data.duckdb";
  return config;
}

StoreConfig StoreConfig::Parse(std::string_view text) {
  StoreConfig config;
  bool named = false;
  struct Setting {
    int line;
    std::string key, value;
  };
  std::vector<Setting> settings;
  int line_number = 0;
  for (std::string line : Split(text, "\n")) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::replace(line.begin(), line.end(), '\t', ' ');
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) Fail(line_number, "a setting is written \"name = value\".");
    std::string key = ToLower(Trim(line.substr(0, equals)));
    std::string value = Trim(line.substr(equals + 1));
    for (const auto& earlier : settings) {
      if (earlier.key == key) Fail(line_number, "the setting '" + key + "' is given twice.");
    }
    if (key == "store") {
      std::string kind = ToLower(value);
      if (kind == "postgres" || kind == "postgresql") {
        config.kind = Kind::kPostgres;
      } else if (kind == "clickhouse") {
        config.kind = Kind::kClickHouse;
      } else if (kind == "duckdb") {
        config.kind = Kind::kDuckDb;
      } else {
        Fail(line_number, "the store is 'postgres', 'clickhouse' or 'duckdb'.");
      }
      named = true;
    }
    settings.push_back({line_number, key, value});
  }
  if (!named) throw EngineError(std::string(kFileName) + " does not say which store holds the tables (store = postgres).");
  if (config.kind == Kind::kDuckDb && settings.size() > 1) {
    throw EngineError(std::string(kFileName) + " gives connection settings for a DuckDB store, which takes none.");
  }
  for (const auto& [line, key, value] : settings) {
    if (key == "store") continue;
    if (key == "statement_timeout") {
      auto timeout = std::chrono::milliseconds(std::llround(Number(line, key, value) * 1000));
      config.postgres.statement_timeout = timeout;
      config.clickhouse.statement_timeout = timeout;
    } else if (key == "max_connections") {
      double count = Number(line, key, value);
      if (count < 1 || count > 1000 || count != std::floor(count)) {
        Fail(line, "max_connections takes a whole number from 1 to 1000.");
      }
      config.postgres.max_connections = static_cast<size_t>(count);
      config.clickhouse.max_connections = static_cast<size_t>(count);
    } else if (config.kind == Kind::kClickHouse) {
      ReadClickHouseSetting(line, key, value, config.clickhouse);
    } else if (std::find(std::begin(kConnectionKeywords), std::end(kConnectionKeywords), key) !=
               std::end(kConnectionKeywords)) {
      config.postgres.parameters.emplace_back(key, value);
    } else {
      Fail(line, "unknown setting '" + key + "'.");
    }
  }
  if (config.kind == Kind::kClickHouse && config.clickhouse.urls.empty()) {
    throw EngineError(std::string(kFileName) + " names no ClickHouse server (url = http://host:8123).");
  }
  return config;
}

std::shared_ptr<const Store> StoreConfig::Open() const {
  if (kind == Kind::kPostgres) return std::make_shared<PostgresStore>(postgres);
  if (kind == Kind::kClickHouse) return std::make_shared<ClickHouseStore>(clickhouse);
  return DuckDbStore::Open(duckdb_file);
}

}  // namespace orvex::engine
