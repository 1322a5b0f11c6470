// Writes the catalogs of the browser tests into the folder given as the only
// argument: "Tiny" (every number checkable by hand) and "Odd", whose names and
// captions hold quotes, angle brackets and script, for showing that the pages
// write what a cube's data holds as text.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tiny_catalog.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

constexpr const char* kOddSchema = R"(<?xml version="1.0" encoding="UTF-8"?>
<Schema name="Odd">
  <Cube name="Odd &quot;&lt;b&gt;cube&lt;/b&gt;&quot; 'x'" defaultMeasure="Amount &quot;net&quot; &lt;i&gt;">
    <Table name="facts"/>
    <Dimension name="&lt;img src=x onerror=&quot;window.injected=1&quot;&gt;" foreignKey="item_id">
      <Hierarchy hasAll="true" allMemberName="All &lt;items&gt;" primaryKey="item_id">
        <Table name="items"/>
        <Level name="Group &quot;g&quot; &lt;u&gt;" column="grp" uniqueMembers="true"/>
        <Level name="Item" column="name" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Side" foreignKey="side_id">
      <Hierarchy hasAll="true" allMemberName="All Sides" primaryKey="side_id">
        <Table name="sides"/>
        <Level name="Side" column="side" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount &quot;net&quot; &lt;i&gt;" column="amount" aggregator="sum" formatString="Standard"/>
  </Cube>
</Schema>
)";

constexpr const char* kOddData = R"(
CREATE TABLE items (item_id INTEGER, grp VARCHAR, name VARCHAR);
INSERT INTO items VALUES
  (1, '"><script>window.injected=2</script>', 'it''s <b>bold</b>'),
  (2, '"><script>window.injected=2</script>', '</script><script>window.injected=3</script>'),
  (3, 'Plain & "quoted"', 'back\slash '' " \'' end');
CREATE TABLE sides (side_id INTEGER, side VARCHAR);
INSERT INTO sides VALUES (1, 'Left <'), (2, 'Right >');
CREATE TABLE facts (item_id INTEGER, side_id INTEGER, amount INTEGER);
INSERT INTO facts VALUES (1, 1, 5), (2, 1, 7), (3, 2, 11), (1, 2, 13);
)";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvex-e2e-catalogs FOLDER\n");
    return 2;
  }
  try {
    const std::filesystem::path root = argv[1];
    const std::filesystem::path tiny = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / "Tiny";
    orvex::testing::WriteCatalog(root, "Tiny", ReadFile(tiny / "schema.xml"), ReadFile(tiny / "data.sql"));
    orvex::testing::WriteCatalog(root, "Odd", kOddSchema, kOddData);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvex-e2e-catalogs: %s\n", error.what());
    return 1;
  }
  return 0;
}
