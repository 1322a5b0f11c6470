#include "engine/catalog/data_sources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::TempDir;

const char* kSchema = R"(<Schema name="S"><Cube name="C"><Table name="t"/>
  <Measure name="M" column="x" aggregator="sum"/></Cube></Schema>)";
const char* kData = "CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (4);";

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

// A root with the catalogs "beta" and "Alpha", a folder without schema, a
// hidden catalog, a catalog without data and one whose schema is broken.
void FillRoot(const TempDir& root) {
  orvex::testing::WriteCatalog(root.path(), "beta", kSchema, kData);
  orvex::testing::WriteCatalog(root.path(), "Alpha", kSchema, kData);
  orvex::testing::WriteCatalog(root.path(), ".hidden", kSchema, kData);
  std::filesystem::create_directories(root / "notes");
  std::filesystem::create_directories(root / "NoData");
  std::ofstream(root / "NoData" / "schema.xml") << kSchema;
  orvex::testing::WriteCatalog(root.path(), "Broken", "<Schema><Cube", kData);
}

TEST(DataSourcesTest, ListsCatalogFoldersInNameOrder) {
  TempDir root;
  FillRoot(root);
  DataSources sources;
  sources.Add("Local", root.path());
  EXPECT_TRUE(sources.Knows("LOCAL"));
  EXPECT_FALSE(sources.Knows("elsewhere"));
  EXPECT_EQ(sources.CatalogNames("local"), (std::vector<std::string>{"Alpha", "beta", "Broken", "NoData"}));
  EXPECT_NE(ErrorOf([&] { (void)sources.CatalogNames("elsewhere"); }).find("'elsewhere' is not known"),
            std::string::npos);
  sources.AddLocalNames(root.path());
  for (const std::string name : {"localhost", "127.0.0.1", "::1"}) EXPECT_TRUE(sources.Knows(name)) << name;
}

TEST(DataSourcesTest, OpensEachCatalogOnceAndABrokenOneAlone) {
  TempDir root;
  FillRoot(root);
  DataSources sources;
  sources.Add("local", root.path());
  auto alpha = sources.OpenCatalog("local", "ALPHA");
  EXPECT_EQ(alpha->name(), "Alpha");
  EXPECT_EQ(sources.OpenCatalog("Local", "alpha"), alpha);
  EXPECT_EQ(alpha->cubes().size(), 1u);

  struct Case {
    std::string catalog;
    std::string expected;
  };
  const Case cases[] = {
      {"Broken", "The catalog 'Broken' cannot be opened: The schema is not well-formed XML"},
      {"NoData", "The catalog 'NoData' cannot be opened: The data file"},
      {"notes", "The catalog 'notes' does not exist in the data source 'local'."},
      {"../beta", "The catalog '../beta' does not exist"},
      {".hidden", "The catalog '.hidden' does not exist"},
      {"", "The catalog '' does not exist"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.catalog);
    std::string error = ErrorOf([&] { (void)sources.OpenCatalog("local", test.catalog); });
    EXPECT_EQ(error.rfind(test.expected, 0), 0u) << error;
  }
  EXPECT_EQ(sources.OpenCatalog("local", "beta")->cubes().size(), 1u);
  // A data source name is only ever looked up, never taken as a folder.
  EXPECT_NE(ErrorOf([&] { (void)sources.OpenCatalog(root.path().string(), "beta"); }).find("is not known"),
            std::string::npos);
}

TEST(DataSourcesTest, ALoadedCatalogIsFoundByNameAndOnlyAMissListsTheFolder) {
  TempDir root;
  orvex::testing::WriteCatalog(root.path(), "Alpha", kSchema, kData);
  DataSources sources;
  sources.Add("local", root.path());
  auto alpha = sources.OpenCatalog("local", "alpha");
  // Renamed away, the folder is no longer listed; the loaded catalog is still served by its name.
  std::filesystem::rename(root / "Alpha", root / "Moved");
  EXPECT_EQ(sources.OpenCatalog("LOCAL", "ALPHA"), alpha);
  // A name not loaded yet lists the folder as it is now.
  orvex::testing::WriteCatalog(root.path(), "Gamma", kSchema, kData);
  EXPECT_EQ(sources.OpenCatalog("local", "gamma")->name(), "Gamma");
  EXPECT_EQ(sources.OpenCatalog("local", "moved")->name(), "Moved");
  EXPECT_NE(ErrorOf([&] { (void)sources.OpenCatalog("local", "beta"); }).find("does not exist"), std::string::npos);
}

TEST(DataSourcesTest, ThreadsOpeningOneCatalogShareIt) {
  DataSources& sources = orvex::testing::TinyDataSources();
  EXPECT_EQ(sources.CatalogNames("localhost"), std::vector<std::string>{"Tiny"});
  std::vector<std::shared_ptr<const Catalog>> opened(6);
  std::vector<std::thread> threads;
  for (size_t thread = 0; thread < opened.size(); ++thread) {
    threads.emplace_back([&, thread] { opened[thread] = sources.OpenCatalog("127.0.0.1", "tiny"); });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& catalog : opened) EXPECT_EQ(catalog, opened[0]);
  EXPECT_EQ(opened[0]->FindCube("sales").name(), "Sales");
  EXPECT_NE(ErrorOf([&] { (void)opened[0]->FindCube("Warehouse"); }).find("'Warehouse' does not exist"),
            std::string::npos);
}

}  // namespace
}  // namespace orvex::engine
