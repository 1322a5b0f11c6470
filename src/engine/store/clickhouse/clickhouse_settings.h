#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace orvex::engine {

// How to reach a ClickHouse cluster over its HTTP interface and how to use
// it. Read from a catalog's store.conf (see StoreConfig); a plain value,
// copied freely.
struct ClickHouseSettings {
  // The servers' base addresses ("http://host:8123"). Statements go to the
  // first; a loader puts dimension tables on each and spreads the fact rows
  // over all of them, so list every shard of the cluster.
  std::vector<std::string> urls;
  std::string database = "default";
  std::string user = "default";
  std::string password;  // never shown in an error or a log
  // The remote_servers entry the fact tables are spread over; empty for one server.
  std::string cluster;
  // A statement running longer is stopped on the server (max_execution_time)
  // and fails with a clear error; zero lets statements run as long as they take.
  std::chrono::milliseconds statement_timeout{std::chrono::seconds(30)};
  // Keep-alive connections open at once to the first server.
  size_t max_connections = 8;
};

}  // namespace orvex::engine
