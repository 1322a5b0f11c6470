// Writes the catalogs of the browser tests into the folder given as the only
// argument, each from its schema and data under tests/catalogs: "Tiny" (every
// number checkable by hand) and "Odd" (names and captions that hold markup and
// script), the latter under its awkward folder name.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tiny_engine.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvex-e2e-catalogs FOLDER\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    const std::filesystem::path sources = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs";
    std::filesystem::remove_all(root);
    for (const char* name : {"Tiny", "Odd"}) {
      const std::filesystem::path source = sources / name;
      orvex::testing::WriteCatalog(root, name == std::string("Odd") ? orvex::testing::kOddCatalogName : name,
                                   ReadFile(source / "schema.xml"), ReadFile(source / "data.sql"));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvex-e2e-catalogs: %s\n", error.what());
    return 1;
  }
  return 0;
}
