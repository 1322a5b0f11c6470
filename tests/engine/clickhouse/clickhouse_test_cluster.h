#pragma once
// The two-shard ClickHouse cluster of the test run (scripts/ch_cluster.sh,
// started by a ctest fixture): where it is and the catalogs loaded into it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/store/store_config.h"
#include "text_file.h"

namespace orvex::testing {

// The fixture's state folder (ORVEX_CH_TEST_DIR); empty without the fixture.
inline std::filesystem::path ClickHouseTestDir() {
  const char* dir = std::getenv("ORVEX_CH_TEST_DIR");
  return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path();
}

inline std::string TrimmedFile(const std::filesystem::path& path) {
  std::string text = ReadTextFile(path);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The shards' HTTP addresses, comma-separated, the one statements go to first.
inline std::string ClickHouseUrls() { return TrimmedFile(ClickHouseTestDir() / "urls"); }
inline std::string ClickHouseFirstUrl() {
  std::string urls = ClickHouseUrls();
  return urls.substr(0, urls.find(','));
}
// The folder of shard `number` (1 or 2), holding its pid file.
inline std::filesystem::path ClickHouseShardDir(int number) {
  return std::filesystem::path(TrimmedFile(ClickHouseTestDir() / "server_dir")) / ("shard" + std::to_string(number));
}

// A store.conf for `database` on the test cluster.
inline std::string ClickHouseStoreConf(const std::string& database, const std::string& extra = "") {
  return "store = clickhouse\nurl = " + ClickHouseUrls() + "\ndatabase = " + database + "\ncluster = " +
         TrimmedFile(ClickHouseTestDir() / "cluster") + "\n" + extra;
}

inline engine::ClickHouseSettings ClickHouseTestSettings(const std::string& database, const std::string& extra = "") {
  return engine::StoreConfig::Parse(ClickHouseStoreConf(database, extra)).clickhouse;
}

}  // namespace orvex::testing
