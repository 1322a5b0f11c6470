// Measures as schemas write them: SQL expressions with CASE, data types,
// captions, visibility; and what a formatter class leaves behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "temp_dir.h"
#include "text_file.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::Cell;
using orvex::testing::FindMeasure;

// Amounts 10, 6, 20, 5, 1: 42 in all, 36 of them in rows above 5; kinds a, b, a, b, b.
const char* kData = R"(
CREATE TABLE facts (kind VARCHAR, amount INTEGER);
INSERT INTO facts VALUES ('a', 10), ('b', 6), ('a', 20), ('b', 5), ('b', 1);
)";

const char* kSchema = R"(<Schema name="S"><Cube name="C"><Table name="facts"/>
  <Dimension name="Kind"><Hierarchy><Level name="Kind" column="kind"/></Hierarchy></Dimension>
  <Measure name="Amount" column="amount" aggregator="sum" formatString="#,##0" caption="Sales amount"/>
  <Measure name="Big" aggregator="sum" datatype="Integer" visible="false">
    <MeasureExpression>
      <SQL dialect="generic">CASE WHEN "facts"."amount" &gt; 5 THEN "facts"."amount" ELSE 0 END</SQL>
    </MeasureExpression>
  </Measure>
  <Measure name="Kinds" column="kind" aggregator="distinct-count" datatype="Integer"
           formatter="com.example.KindFormatter"/>
  <Measure name="Label" column="kind" aggregator="max" datatype="String"/>
</Cube></Schema>)";

// Points the event log at a file of its own while it lives.
class EventLogFile {
 public:
  explicit EventLogFile(const std::filesystem::path& path) : path_(path) {
    if (const char* previous = std::getenv("ORVEX_EVENT_LOG")) previous_ = previous;
    ::setenv("ORVEX_EVENT_LOG", path_.c_str(), 1);
  }
  ~EventLogFile() {
    if (previous_.empty()) {
      ::unsetenv("ORVEX_EVENT_LOG");
    } else {
      ::setenv("ORVEX_EVENT_LOG", previous_.c_str(), 1);
    }
  }
  EventLogFile(const EventLogFile&) = delete;
  EventLogFile& operator=(const EventLogFile&) = delete;

 private:
  std::filesystem::path path_;
  std::string previous_;
};

TEST(MeasuresTest, ExpressionsTypesAndCaptionsAsWritten) {
  orvex::testing::TempDir root;
  EventLogFile log(root.path() / "events.log");
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "M", kSchema, kData));
  ASSERT_TRUE(catalog->failed_cubes().empty()) << catalog->failed_cubes().begin()->second;
  const Cube& cube = catalog->FindCube("C");
  EXPECT_DOUBLE_EQ(*Cell(cube, "Amount", {}), 42);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Big", {}), 36);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Big", {"[Kind].[b]"}), 6);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Kinds", {}), 2);

  const Measure* amount = FindMeasure(cube, "Amount");
  EXPECT_EQ(amount->caption, "Sales amount");
  EXPECT_EQ(amount->format_string, "#,##0");
  EXPECT_EQ(amount->datatype, "Numeric");
  EXPECT_TRUE(amount->visible);
  EXPECT_EQ(FindMeasure(cube, "Big")->datatype, "Integer");
  EXPECT_FALSE(FindMeasure(cube, "Big")->visible);
  EXPECT_EQ(FindMeasure(cube, "Label")->datatype, "String");

  // The formatter cannot run: the cube loads and the log says what was left out, and where.
  std::string events = orvex::testing::ReadTextFile(root.path() / "events.log");
  EXPECT_NE(events.find("Catalog M, cube C: Schema line 9: the formatter com.example.KindFormatter of the measure "
                        "'Kinds' cannot run here; its format string is used instead."),
            std::string::npos)
      << events;
}

TEST(MeasuresTest, AnUnknownDatatypeIsRefusedWithItsLine) {
  orvex::testing::TempDir root;
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(
      root.path(), "M",
      "<Schema name=\"S\"><Cube name=\"C\"><Table name=\"facts\"/>\n"
      "<Measure name=\"A\" column=\"amount\" aggregator=\"sum\" datatype=\"Money\"/></Cube></Schema>",
      kData));
  ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
  EXPECT_EQ(catalog->failed_cubes().at("C"),
            "Schema line 2: the measure 'A' has the datatype 'Money' (Numeric, Integer or String).");
}

}  // namespace
}  // namespace orvex::engine
