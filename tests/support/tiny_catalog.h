#pragma once
#include <filesystem>
#include <memory>
#include <string_view>

#include "engine/catalog/data_sources.h"
#include "engine/model/catalog.h"
#include "engine/model/cube.h"

// The Tiny catalog (tests/catalogs/Tiny) made ready for tests: its schema and
// a data.duckdb built from data.sql, in a temporary folder that lives as long
// as the test process. Built once, on first use; any thread may call these.
namespace orvex::testing {

// A data-source root folder holding one catalog folder, "Tiny".
std::filesystem::path TinyCatalogsRoot();
// Data sources that map "localhost", "127.0.0.1", "::1", the host name and
// "Tiny" to TinyCatalogsRoot().
engine::DataSources& TinyDataSources();
// The loaded Tiny catalog and its one cube, "Sales".
std::shared_ptr<const engine::Catalog> TinyCatalog();
const engine::Cube& TinySalesCube();

// Writes a catalog folder `root`/`name` with `schema_xml` as schema.xml and a
// data.duckdb made by running `data_sql`; returns the folder. Throws ComError
// when the SQL fails.
std::filesystem::path WriteCatalog(const std::filesystem::path& root, std::string_view name,
                                   std::string_view schema_xml, std::string_view data_sql);
// Writes the catalog of tests/catalogs/`name` (its schema.xml and data.sql)
// as the folder `folder` of `root`; returns the folder.
std::filesystem::path WriteTestCatalog(const std::filesystem::path& root, std::string_view name,
                                       std::string_view folder);

}  // namespace orvex::testing
