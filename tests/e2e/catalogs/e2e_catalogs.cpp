// Writes the catalogs of the browser tests into the folder given as the only
// argument: Sample (the sample catalog at scale 1) and Tiny (every number
// checkable by hand), and below .odd, which the server does not take for a
// catalog, the Odd catalog, whose names and captions hold markup and script,
// for a data source of its own.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tiny_engine.h"
#include "tools/sample/sample_generator.h"

int main(int argc, char** argv) {
  // An option is not a folder: "--help" would otherwise fill a folder of that name with catalogs.
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: orvex-e2e-catalogs FOLDER\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    // Only the catalogs written here are replaced; nothing else in the folder is touched.
    for (const char* name : {"Tiny", ".odd", "Sample"}) std::filesystem::remove_all(root / name);
    orvex::testing::WriteTestCatalog(root, "Tiny", "Tiny");
    orvex::testing::WriteTestCatalog(root / ".odd", "Odd", orvex::testing::kOddCatalogName);
    const std::filesystem::path sample = root / "Sample";
    std::filesystem::create_directories(sample);
    std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "data" / "catalogs" / "Sample" / "schema.xml",
                               sample / "schema.xml");
    orvex::tools::SampleGenerator::Generate(sample, 1);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvex-e2e-catalogs: %s\n", error.what());
    return 1;
  }
  return 0;
}
