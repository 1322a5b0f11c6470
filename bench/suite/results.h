#pragma once
#include <string>
#include <vector>

#include "http_load.h"

namespace orvex::bench {

// The figures of one run of the suite, each a median over its runs.
struct Results {
  struct Statement {
    std::string store;  // "duckdb" or "postgres"
    double scale = 0;
    std::string key, title;
    long cells = 0;
    double cold_ms = 0;  // the statement in a fresh process, catalog open, nothing cached
    double warm_ms = 0;  // the same statement again in that process
    double sql_ms = 0;   // hand-written SQL for the same cells, in a fresh process
    double ratio() const { return sql_ms > 0 ? cold_ms / sql_ms : 0; }
  };
  struct Http {
    double scale = 0;
    int clients = 0;
    LoadResult load;
  };
  struct Memory {
    double scale = 0;
    double peak_mb = 0;
  };
  int runs = 0;
  std::vector<Statement> statements;
  std::vector<Http> http;
  std::vector<Memory> memory;
};

// The table of every figure and the targets, as `make bench` prints it.
std::string ResultTable(const Results& results);
// The same figures as a JSON document.
std::string ResultJson(const Results& results);

}  // namespace orvex::bench
