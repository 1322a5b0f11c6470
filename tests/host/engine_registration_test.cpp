// The data sources orvex-server serves: the server's own names for the
// catalog root, the names given on the command line, and nothing else.
#include "host/engine_registration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <fstream>

#include "support/temp_dir.h"

namespace orvex::host {
namespace {

// A catalog root holding one catalog folder, `name`.
std::filesystem::path CatalogRoot(const std::filesystem::path& parent, const std::string& name) {
  std::filesystem::path root = parent / (name + "-root");
  std::filesystem::create_directories(root / name);
  std::ofstream(root / name / "schema.xml") << "<Schema name='" << name << "'/>";
  return root;
}

TEST(EngineRegistrationTest, ServesTheServersOwnNamesAndTheNamedSourcesOnly) {
  testing::TempDir dir;
  ServerSettings settings;
  settings.catalogs = CatalogRoot(dir.path(), "Local");
  settings.bind = "192.0.2.7";
  settings.data_sources = {{"Sales", CatalogRoot(dir.path(), "Shop")}, {"localhost", CatalogRoot(dir.path(), "Moved")}};
  std::shared_ptr<engine::DataSources> sources = DataSourcesOf(settings);

  char host[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  const std::pair<std::string, std::string> served[] = {
      {"127.0.0.1", "Local"}, {"::1", "Local"},  {host, "Local"},
      {"192.0.2.7", "Local"}, {"SALES", "Shop"},  // names are compared without regard to case
      {"localhost", "Moved"},                     // a name given on the command line replaces the server's own
  };
  for (const auto& [name, catalog] : served) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(sources->Knows(name));
    EXPECT_EQ(sources->CatalogNames(name), std::vector<std::string>{catalog});
  }
  for (const std::string& name :
       {settings.catalogs.string(), std::string(".."), std::string("0.0.0.0"), std::string("Shop"), std::string("")}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(sources->Knows(name));
  }
}

TEST(EngineRegistrationTest, AWildcardAddressNamesNoDataSource) {
  for (const std::string bind : {"0.0.0.0", "::"}) {
    SCOPED_TRACE(bind);
    ServerSettings settings;
    settings.bind = bind;
    EXPECT_FALSE(DataSourcesOf(settings)->Knows(bind));
  }
}

}  // namespace
}  // namespace orvex::host
