#pragma once
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace orvex::tools {

// What orvex-mdx is asked to do.
struct MdxRequest {
  std::filesystem::path catalogs = "data/catalogs";  // the root the local names map to
  std::string data_source = "localhost";             // a name, or NAME=DIR to map one
  std::string catalog;                               // "" for the data source's first catalog
  std::string format = "table";                      // "table" or "json"
  int64_t max_cells = 1'000'000;
  double query_timeout_seconds = 60;                 // 0: no limit
  int64_t max_statement_memory = int64_t{512} * 1024 * 1024;  // bytes; 0: no limit
  std::string statement;
};

// Reads a request from the arguments of orvex-mdx; the statement is the last
// argument that is no option's value (empty when it is to come from standard
// input). Returns "" or a message naming the bad argument.
std::string ParseMdxArguments(int argc, char** argv, MdxRequest& request, bool& help);

// Runs the statement through the embedded provider and writes the result to
// `out` (a table, or one JSON object and a line feed). A failure is written to
// `err`. Returns the exit status: 0, or 1 when the statement failed.
int RunMdx(const MdxRequest& request, std::ostream& out, std::ostream& err);

}  // namespace orvex::tools
