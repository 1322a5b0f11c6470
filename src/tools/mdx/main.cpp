// orvex-mdx: runs one MDX statement against a catalog and prints the result.
//   orvex-mdx [--catalogs DIR] [--data-source NAME | NAME=DIR] [--catalog NAME]
//             [--format table|json] [--max-cells N] [--query-timeout SECONDS]
//             [--max-statement-memory BYTES] [--] ["STATEMENT"]
// Without a statement argument the statement is read from standard input;
// "--" ends the options, so a statement that starts with a comment may follow it.
// A DRILLTHROUGH statement prints its fact rows: a table, or {"columns", "rows"}.
#include <iostream>
#include <iterator>
#include <string>

#include "tools/mdx/mdx_tool.h"

int main(int argc, char** argv) {
  orvex::tools::MdxRequest request;
  bool help = false;
  std::string error = orvex::tools::ParseMdxArguments(argc, argv, request, help);
  if (!error.empty() || help) {
    if (!error.empty()) std::cerr << "orvex-mdx: " << error << "\n";
    std::cerr << "Usage: orvex-mdx [--catalogs DIR] [--data-source NAME | NAME=DIR] [--catalog NAME]\n"
                 "                 [--format table|json] [--max-cells N] [--query-timeout SECONDS]\n"
                 "                 [--max-statement-memory BYTES] [--] [STATEMENT]\n"
                 "Runs one MDX statement (the last argument, or standard input) and prints the result.\n"
                 "--catalogs DIR is the folder of catalogs that localhost names (default data/catalogs);\n"
                 "--catalog picks a catalog (default: the first); --format json prints one JSON object.\n"
                 "A DRILLTHROUGH statement prints the fact rows behind its cell.\n";
    return help ? 0 : 2;
  }
  if (request.statement.empty()) {
    request.statement.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  return orvex::tools::RunMdx(request, std::cout, std::cerr);
}
