#include "tiny_catalog.h"

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "engine/store/duckdb/duckdb_database.h"
#include "temp_dir.h"

namespace orvex::testing {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

std::filesystem::path WriteCatalog(const std::filesystem::path& root, std::string_view name,
                                   std::string_view schema_xml, std::string_view data_sql) {
  std::filesystem::path folder = root / std::string(name);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "schema.xml", std::ios::binary) << schema_xml;
  std::filesystem::remove(folder / "data.duckdb");
  auto database = engine::DuckDbDatabase::Open(folder / "data.duckdb", engine::DuckDbDatabase::Mode::kReadWrite);
  database.Connect().Execute(data_sql);
  return folder;
}

std::filesystem::path TinyCatalogsRoot() {
  static TempDir root;  // removed when the test process ends
  static std::once_flag built;
  std::call_once(built, [] {
    std::filesystem::path source = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / "Tiny";
    WriteCatalog(root.path(), "Tiny", ReadFile(source / "schema.xml"), ReadFile(source / "data.sql"));
  });
  return root.path();
}

engine::DataSources& TinyDataSources() {
  static engine::DataSources* sources = [] {
    auto* created = new engine::DataSources();
    created->AddLocalNames(TinyCatalogsRoot());
    created->Add("Tiny", TinyCatalogsRoot());
    return created;
  }();
  return *sources;
}

std::shared_ptr<const engine::Catalog> TinyCatalog() { return TinyDataSources().OpenCatalog("Tiny", "Tiny"); }

const engine::Cube& TinySalesCube() {
  static std::shared_ptr<const engine::Catalog> catalog = TinyCatalog();
  return catalog->FindCube("Sales");
}

}  // namespace orvex::testing
