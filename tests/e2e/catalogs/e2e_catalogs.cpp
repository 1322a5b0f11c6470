// Writes the catalogs of the browser tests below the folder given as the only
// argument: main/Sample (the sample catalog at scale 1) and main/Tiny (every
// number checkable by hand) for the server's own names, and odd/ holding the
// Odd catalog, whose names and captions hold markup and script, for a data
// source of its own.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tiny_engine.h"
#include "tools/sample/sample_generator.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Writes the catalog of tests/catalogs/`name` as `root`/`folder`.
void WriteTestCatalog(const std::filesystem::path& root, const char* name, const std::string& folder) {
  const std::filesystem::path source = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / name;
  orvex::testing::WriteCatalog(root, folder, ReadFile(source / "schema.xml"), ReadFile(source / "data.sql"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvex-e2e-catalogs FOLDER\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    std::filesystem::remove_all(root);
    WriteTestCatalog(root / "main", "Tiny", "Tiny");
    WriteTestCatalog(root / "odd", "Odd", orvex::testing::kOddCatalogName);
    const std::filesystem::path sample = root / "main" / "Sample";
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
