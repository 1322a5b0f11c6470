#include "tools/common/store_choice.h"

#include <fstream>

namespace orvex::tools {

std::string WriteStoreChoice(const CommandLine& command_line, const std::filesystem::path& folder) {
  if (!command_line.Has("--store")) return "";
  if (command_line.Value("--store") != "clickhouse" || command_line.Value("--url").empty()) {
    return "--store takes 'clickhouse', with --url.";
  }
  std::string conf;
  for (const char* option : {"--url", "--database", "--cluster"}) {
    if (!command_line.Has(option)) continue;
    const std::string value = command_line.Value(option);
    // One setting per line: a line break in a value would add settings of its own.
    if (value.find_first_of("\r\n") != std::string::npos) return std::string(option) + " takes one line.";
    conf += std::string(option + 2) + " = " + value + "\n";
  }
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "store.conf", std::ios::binary) << "store = clickhouse\n" << conf;
  return "";
}

}  // namespace orvex::tools
