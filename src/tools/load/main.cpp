// orvex-load: creates or replaces tables of a catalog's store (data.duckdb, or the
// PostgreSQL database its store.conf names) from CSV or Parquet files.
//   orvex-load --catalog-dir DIR --table NAME=FILE [--table NAME=FILE ...]
#include <iostream>
#include <string>

#include "platform/com/com_error.h"
#include "tools/common/command_line.h"
#include "tools/load/table_loader.h"

int main(int argc, char** argv) {
  orvex::tools::CommandLine command_line({"--catalog-dir", "--table"}, {"--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help") || command_line.Value("--catalog-dir").empty() ||
      command_line.Values("--table").empty()) {
    if (!error.empty()) std::cerr << error << "\n";
    std::cerr << "Usage: orvex-load --catalog-dir DIR --table NAME=FILE [--table NAME=FILE ...]\n"
                 "Creates or replaces each table NAME in DIR/data.duckdb, or in the PostgreSQL database\n"
                 "that DIR/store.conf names, from a .csv, .tsv or .parquet FILE.\n";
    return command_line.Has("--help") ? 0 : 2;
  }
  std::vector<orvex::tools::TableLoader::Table> tables;
  for (const auto& argument : command_line.Values("--table")) {
    auto equals = argument.find('=');
    if (equals == std::string::npos) {
      std::cerr << "orvex-load: --table takes NAME=FILE, not '" << argument << "'.\n";
      return 2;
    }
    tables.push_back({argument.substr(0, equals), argument.substr(equals + 1)});
  }
  try {
    orvex::tools::TableLoader::Load(command_line.Value("--catalog-dir"), tables);
  } catch (const orvex::ComError& failure) {
    std::cerr << "orvex-load: " << failure.description() << "\nNo table was changed.\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "orvex-load: " << failure.what() << "\nNo table was changed.\n";
    return 1;
  }
  for (const auto& table : tables) std::cout << table.name << ": " << table.rows << " rows\n";
  return 0;
}
