// orvex-load: creates or replaces tables of a catalog's store (data.duckdb, or the
// PostgreSQL database its store.conf names) from CSV or Parquet files.
//   orvex-load --catalog-dir DIR --table NAME=FILE [--table NAME=FILE ...]
//              [--store clickhouse --url URL[,URL...] [--database DB] [--cluster NAME] [--fact NAME ...]]
// With --store clickhouse it first writes DIR/store.conf naming the cluster;
// the --fact tables are spread over its servers, the others copied to each.
#include <filesystem>
#include <iostream>
#include <string>

#include "engine/store/store_config.h"
#include "platform/com/com_error.h"
#include "tools/common/command_line.h"
#include "tools/common/store_choice.h"
#include "tools/load/table_loader.h"

int main(int argc, char** argv) {
  orvex::tools::CommandLine command_line(
      {"--catalog-dir", "--table", "--store", "--url", "--database", "--cluster", "--fact"}, {"--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help") || command_line.Value("--catalog-dir").empty() ||
      command_line.Values("--table").empty()) {
    if (!error.empty()) std::cerr << error << "\n";
    std::cerr << "Usage: orvex-load --catalog-dir DIR --table NAME=FILE [--table NAME=FILE ...]\n"
                 "Creates or replaces each table NAME in DIR/data.duckdb, or in the PostgreSQL database\n"
                 "that DIR/store.conf names, from a .csv, .tsv or .parquet FILE.\n"
                 "       [--store clickhouse --url URL[,URL...] [--database DB] [--cluster NAME] [--fact NAME ...]]\n"
                 "writes DIR/store.conf for a ClickHouse cluster first; the --fact tables are spread over its servers.\n";
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
  std::filesystem::path folder = command_line.Value("--catalog-dir");
  if (std::string error = orvex::tools::WriteStoreChoice(command_line, folder); !error.empty()) {
    std::cerr << "orvex-load: " << error << "\n";
    return 2;
  }
  // ClickHouse has no transactions: after a failure there, what loaded stays.
  std::string outcome = "No table was changed.";
  try {
    if (orvex::engine::StoreConfig::Read(folder).kind == orvex::engine::StoreConfig::Kind::kClickHouse) {
      outcome = "Tables loaded before the failure were kept.";
    }
  } catch (const orvex::ComError&) {
  }
  try {
    orvex::tools::TableLoader::Load(folder, tables, command_line.Values("--fact"));
  } catch (const orvex::ComError& failure) {
    std::cerr << "orvex-load: " << failure.description() << "\n" << outcome << "\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "orvex-load: " << failure.what() << "\n" << outcome << "\n";
    return 1;
  }
  for (const auto& table : tables) std::cout << table.name << ": " << table.rows << " rows\n";
  return 0;
}
