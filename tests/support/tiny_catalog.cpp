#include "tiny_catalog.h"

#include <mutex>
#include <string>

#include "engine/store/duckdb/duckdb_database.h"
#include "temp_dir.h"
#include "text_file.h"

namespace orvex::testing {

std::filesystem::path WriteCatalog(const std::filesystem::path& root, std::string_view name,
                                   std::string_view schema_xml, std::string_view data_sql) {
  std::filesystem::path folder = root / std::string(name);
  std::filesystem::create_directories(folder);
  WriteTextFile(folder / "schema.xml", schema_xml);
  std::filesystem::remove(folder / "data.duckdb");
  auto database = engine::DuckDbDatabase::Open(folder / "data.duckdb", engine::DuckDbDatabase::Mode::kReadWrite);
  database.Connect().Execute(data_sql);
  return folder;
}

std::filesystem::path WriteTestCatalog(const std::filesystem::path& root, std::string_view name,
                                       std::string_view folder) {
  const std::filesystem::path source = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / name;
  return WriteCatalog(root, folder, ReadTextFile(source / "schema.xml"), ReadTextFile(source / "data.sql"));
}

std::filesystem::path TinyCatalogsRoot() {
  static TempDir root;  // removed when the test process ends
  static std::once_flag built;
  std::call_once(built, [] { WriteTestCatalog(root.path(), "Tiny", "Tiny"); });
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
