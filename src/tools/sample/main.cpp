// orvex-sample: writes the sample catalog's data for a scale factor, into
// DIR/data.duckdb or the PostgreSQL database that DIR/store.conf names.
//   orvex-sample --catalog-dir DIR --scale N [--if-missing]
//                [--store clickhouse --url URL[,URL...] [--database DB] [--cluster NAME]]
// With --store clickhouse it first writes DIR/store.conf naming the cluster;
// the sales are spread over the servers listed (every shard of the cluster).
// With --if-missing it does nothing when the data already holds that scale.
#include <chrono>
#include <iostream>
#include <string>

#include "platform/com/com_error.h"
#include "tools/common/command_line.h"
#include "tools/common/store_choice.h"
#include "tools/sample/sample_generator.h"

int main(int argc, char** argv) {
  using orvex::tools::SampleGenerator;
  orvex::tools::CommandLine command_line({"--catalog-dir", "--scale", "--store", "--url", "--database", "--cluster"},
                                         {"--if-missing", "--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help") || command_line.Value("--catalog-dir").empty()) {
    if (!error.empty()) std::cerr << error << "\n";
    std::cerr << "Usage: orvex-sample --catalog-dir DIR [--scale N] [--if-missing]\n"
                 "         [--store clickhouse --url URL[,URL...] [--database DB] [--cluster NAME]]\n";
    return command_line.Has("--help") ? 0 : 2;
  }
  std::filesystem::path folder = command_line.Value("--catalog-dir");
  double scale = 1;
  try {
    if (command_line.Has("--scale")) scale = std::stod(command_line.Value("--scale"));
  } catch (const std::exception&) {
    std::cerr << "The scale must be a number, not '" << command_line.Value("--scale") << "'.\n";
    return 2;
  }
  if (std::string error = orvex::tools::WriteStoreChoice(command_line, folder); !error.empty()) {
    std::cerr << "orvex-sample: " << error << "\n";
    return 2;
  }
  if (command_line.Has("--if-missing")) {
    if (auto recorded = SampleGenerator::RecordedScale(folder); recorded && *recorded == scale) {
      std::cout << "The sample data in " << folder.string() << " is up to date (scale " << scale << ").\n";
      return 0;
    }
  }
  try {
    auto start = std::chrono::steady_clock::now();
    SampleGenerator::Generate(folder, scale);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "Wrote the sample data of " << folder.string() << " at scale " << scale << " in " << seconds
              << " s.\n";
  } catch (const orvex::ComError& failure) {
    std::cerr << "orvex-sample: " << failure.description() << "\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "orvex-sample: " << failure.what() << "\n";
    return 1;
  }
  return 0;
}
