// Writes the catalogs the olap4j client test reads into the folder given as
// the only argument: Sample (the sample catalog at scale 1) and Tiny.
#include <cstdio>
#include <exception>
#include <filesystem>

#include "tiny_catalog.h"
#include "tools/sample/sample_generator.h"

int main(int argc, char** argv) {
  // An option is not a folder: "--help" would otherwise fill a folder of that name with catalogs.
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: xmla-test-catalogs FOLDER\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    // Only the catalogs written here are replaced; nothing else in the folder is touched.
    for (const char* name : {"Tiny", "Sample"}) std::filesystem::remove_all(root / name);
    orvex::testing::WriteTestCatalog(root, "Tiny", "Tiny");
    const std::filesystem::path sample = root / "Sample";
    std::filesystem::create_directories(sample);
    std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "data" / "catalogs" / "Sample" / "schema.xml",
                               sample / "schema.xml");
    orvex::tools::SampleGenerator::Generate(sample, 1);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "xmla-test-catalogs: %s\n", error.what());
    return 1;
  }
  return 0;
}
