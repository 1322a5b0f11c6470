#include "engine/schema/schema_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/com_error.h"
#include "support/text_file.h"

namespace orvex::engine {
namespace {

using schema::Relation;

// A schema with one good cube, "Good", and one cube "Test" whose body is `body`.
std::string TwoCubes(const std::string& body) {
  return R"(<Schema name="S">
  <Dimension name="Time">
    <Hierarchy hasAll="false" primaryKey="time_id">
      <Table name="time_by_day"/>
      <Level name="Year" column="the_year" uniqueMembers="true"/>
    </Hierarchy>
  </Dimension>
  <Cube name="Good">
    <Table name="fact"/>
    <DimensionUsage name="Time" source="Time" foreignKey="time_id"/>
    <Measure name="Units" column="units" aggregator="sum"/>
  </Cube>
  <Cube name="Test">
)" + body + R"(
  </Cube>
</Schema>)";
}

const std::string kFact = R"(<Table name="fact"/>)";
const std::string kMeasure = R"(<Measure name="Units" column="units" aggregator="sum"/>)";

TEST(SchemaReaderTest, ReadsTheTinyCatalogWithItsSnowflakeAndSharedDimensions) {
  auto schema = SchemaReader::Read(std::filesystem::path(ORVEX_SOURCE_DIR) / "tests/catalogs/Tiny/schema.xml");
  ASSERT_EQ(schema.cubes.size(), 1u);
  const auto& cube = schema.cubes[0];
  EXPECT_EQ(cube.error, "");
  EXPECT_EQ(cube.name, "Sales");
  EXPECT_EQ(cube.default_measure, "Unit Sales");
  EXPECT_EQ(cube.fact->alias, "sales_fact");

  std::vector<std::string> names;
  for (const auto& dimension : cube.dimensions) names.push_back(dimension.name + ":" + dimension.foreign_key);
  EXPECT_EQ(names, (std::vector<std::string>{"Time:time_id", "Store:store_id", "Product:product_id",
                                             "Customers:customer_id", "Gender:customer_id",
                                             "Marital Status:customer_id", "Promotion Media:promotion_id"}));

  const auto& product = cube.dimensions[2].hierarchies[0];
  ASSERT_EQ(product.relation->kind, Relation::Kind::kJoin);
  EXPECT_EQ(product.relation->left_alias, "product");
  EXPECT_EQ(product.relation->right_alias, "product_class");
  EXPECT_EQ(product.relation->left_key, "product_class_id");
  EXPECT_EQ(product.primary_key_table, "product");
  EXPECT_EQ(product.all_member_name, "All Products");
  EXPECT_EQ(product.levels[0].key.table, "product_class");
  EXPECT_EQ(product.levels[4].key.column, "product_name");
  EXPECT_FALSE(cube.dimensions[0].hierarchies[0].has_all);

  const auto& customers = cube.dimensions[3].hierarchies[0];
  EXPECT_EQ(customers.levels[3].name_expression.column, "fullname");
  EXPECT_TRUE(customers.levels[3].unique_members);

  ASSERT_EQ(cube.measures.size(), 5u);
  EXPECT_EQ(cube.measures[4].aggregator, Aggregator::kDistinctCount);
  EXPECT_EQ(cube.measures[1].format_string, "#,###.00");
  ASSERT_EQ(cube.calculated_members.size(), 1u);
  EXPECT_EQ(cube.calculated_members[0].formula, "[Measures].[Store Sales] - [Measures].[Store Cost]");
  EXPECT_EQ(cube.calculated_members[0].format_string, "$#,##0.00");
}

TEST(SchemaReaderTest, ABrokenOrUnsupportedCubeNamesTheConstructAndLeavesTheOthers) {
  struct Case {
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><InlineTable alias="x"/>
         <Level name="L" column="c"/></Hierarchy></Dimension>)" + kMeasure,
       "the <InlineTable> 'x' has no <ColumnDef>"},
      {R"(<View><SQL>select 1</SQL></View>)" + kMeasure, "a <View> needs an alias"},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Table name="d"/>
         <Level name="L" column="c" parentColumn="p"><Closure parentColumn="p" childColumn="c"/></Level>
         </Hierarchy></Dimension>)" + kMeasure,
       "the <Closure> of the level 'L' holds no <Table>."},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Table name="d"/>
         <Level name="L" column="c" hideMemberIf="IfBlank"/></Hierarchy></Dimension>)" + kMeasure,
       "hideMemberIf=\"IfBlank\" (Never, IfBlankName or IfParentsName)"},
      {kFact + R"(<Measure name="M" column="m" aggregator="percentile"/>)", "aggregator 'percentile'"},
      {kFact + kMeasure + R"(<CalculatedMember name="C" dimension="Store" formula="1">
         <CalculatedMemberProperty name="SOLVE_ORDER" value="1.5"/></CalculatedMember>)",
       "the SOLVE_ORDER of 'C' must be a whole number, not '1.5'"},
      {kFact + kMeasure + R"(<CalculatedMember name="C" formula="1"/>)", "the calculated member 'C' names no dimension"},
      {kFact + R"(<DimensionUsage name="X" source="Nope" foreignKey="x"/>)" + kMeasure,
       "the shared dimension 'Nope', which the schema does not define"},
      {R"(<Table name="fact"><Filter>x > 1</Filter></Table>)" + kMeasure, "<Filter> is not supported"},
      {kFact + R"(<Measure name="M" aggregator="sum"/>)", "neither column nor <MeasureExpression>"},
      {kMeasure, "has no fact <Table>"},
      {kFact + kMeasure + "<Frobnicate/>", "<Frobnicate> is not supported"},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Table name="d"/>
         <Level name="L" column="c" uniqueMembers="yes"/></Hierarchy></Dimension>)" + kMeasure,
       "uniqueMembers must be true or false"},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Table name="d"/></Hierarchy></Dimension>)" + kMeasure,
       "has no <Level>"},
      {kFact + kMeasure + kMeasure, "the measure 'Units' is defined twice"},
      {kFact + R"(<DimensionUsage name="Time" source="Time" foreignKey="t"/>
         <DimensionUsage name="time" source="Time" foreignKey="t"/>)" + kMeasure,
       "the dimension 'time' is defined twice"},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Join leftKey="a" rightKey="b">
         <Table name="x"/></Join><Level name="L" column="c"/></Hierarchy></Dimension>)" + kMeasure,
       "a <Join> must hold exactly two relations"},
      {kFact + R"(<Dimension name="D" foreignKey="d"><Hierarchy><Table name="d"/>
         <Level name="L"><KeyExpression/></Level></Hierarchy></Dimension>)" + kMeasure,
       "<KeyExpression> holds no <SQL>"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    auto schema = SchemaReader::Parse(TwoCubes(test.body));
    ASSERT_EQ(schema.cubes.size(), 2u);
    EXPECT_EQ(schema.cubes[0].error, "");
    EXPECT_EQ(schema.cubes[1].name, "Test");
    EXPECT_NE(schema.cubes[1].error.find(test.expected), std::string::npos) << schema.cubes[1].error;
    EXPECT_EQ(schema.cubes[1].error.rfind("Schema line ", 0), 0u) << schema.cubes[1].error;
  }
}

TEST(SchemaReaderTest, ErrorsGiveTheLineOfTheConstruct) {
  auto schema = SchemaReader::Parse(TwoCubes(kFact + "\n\n<Frobnicate/>" + kMeasure));
  // The test cube's body starts on line 14 of the schema; <Frobnicate> is two lines further.
  EXPECT_EQ(schema.cubes[1].error, "Schema line 16: <Frobnicate> is not supported.");
}

TEST(SchemaReaderTest, ReadsPastElementsThatOnlyDescribe) {
  auto schema = SchemaReader::Parse(R"(<Schema name="S">
  <Annotations><Annotation name="a">x</Annotation></Annotations>
  <Role name="R"><SchemaGrant access="all"/></Role>
  <UserDefinedFunction name="F" className="x"/>
  <Cube name="C" cache="true">
    <Annotations><Annotation name="a">x</Annotation></Annotations>
    <Table name="fact"><AggExclude name="agg_x"/><AggName name="agg_y"><AggFactCount column="n"/></AggName></Table>
    <Dimension name="D" foreignKey="d">
      <Hierarchy hasAll="true" primaryKey="id">
        <Table name="d"/>
        <Level name="L" column="c" approxRowCount="10">
          <Property name="P" column="p"/>
          <MemberFormatter className="x"/>
        </Level>
      </Hierarchy>
    </Dimension>
    <NamedSet name="Top"><Formula>{}</Formula></NamedSet>
    <Measure name="M" column="m" aggregator="distinct count" visible="false">
      <CalculatedMemberProperty name="MEMBER_ORDINAL" value="1"/>
    </Measure>
    <CalculatedMember name="Twice" dimension="Measures" caption="Two times" visible="false">
      <Formula><![CDATA[ [Measures].[M] * 2 ]]></Formula>
    </CalculatedMember>
  </Cube>
</Schema>)");
  ASSERT_EQ(schema.cubes.size(), 1u);
  const auto& cube = schema.cubes[0];
  EXPECT_EQ(cube.error, "");
  EXPECT_EQ(cube.measures[0].aggregator, Aggregator::kDistinctCount);
  EXPECT_FALSE(cube.measures[0].visible);
  EXPECT_EQ(cube.calculated_members[0].formula, "[Measures].[M] * 2");
  EXPECT_EQ(cube.calculated_members[0].caption, "Two times");
  EXPECT_FALSE(cube.calculated_members[0].visible);
}

TEST(SchemaReaderTest, ReadsExpressionsPerDialectAndSkipsDisabledCubes) {
  auto schema = SchemaReader::Parse(R"(<Schema name="S">
  <Cube name="Off" enabled="false"><Table name="fact"/></Cube>
  <Cube name="C">
    <Table name="fact" schema="sales" alias="f"/>
    <Dimension name="D" foreignKey="d">
      <Hierarchy primaryKey="id"><Table name="d"/>
        <Level name="L">
          <KeyExpression><SQL dialect="postgres">a::text</SQL><SQL dialect="generic">CAST(a AS VARCHAR)</SQL></KeyExpression>
          <OrdinalExpression><SQL>b</SQL></OrdinalExpression>
        </Level>
      </Hierarchy>
    </Dimension>
    <Measure name="M" aggregator="sum"><MeasureExpression><SQL dialect="DuckDB">x * 2</SQL></MeasureExpression></Measure>
  </Cube>
  <VirtualCube name="V"/>
</Schema>)");
  ASSERT_EQ(schema.cubes.size(), 2u);
  const auto& cube = schema.cubes[0];
  EXPECT_EQ(cube.error, "");
  EXPECT_EQ(cube.fact->schema, "sales");
  EXPECT_EQ(cube.fact->alias, "f");
  const auto& level = cube.dimensions[0].hierarchies[0].levels[0];
  ASSERT_EQ(level.key.sql.size(), 2u);
  EXPECT_EQ(level.key.sql[0], std::make_pair(std::string("postgres"), std::string("a::text")));
  EXPECT_EQ(level.key.sql[1].first, "generic");
  EXPECT_EQ(level.ordinal_expression.sql[0], std::make_pair(std::string("generic"), std::string("b")));
  EXPECT_EQ(cube.measures[0].expression.sql[0].first, "duckdb");
  EXPECT_EQ(schema.cubes[1].name, "V");
  // A virtual cube without measures fails alone, keeping its place.
  EXPECT_NE(schema.cubes[1].error.find("has no <VirtualCubeMeasure>"), std::string::npos) << schema.cubes[1].error;
}

TEST(SchemaReaderTest, TimeLevelsAndMetadataOnlyElementsAreReadOrPassed) {
  auto schema = SchemaReader::Parse(R"(<Schema name="S" description="d">
    <Annotations><Annotation name="a">x</Annotation></Annotations>
    <Cube name="C" caption="Cube" description="the cube"><Table name="f" approxRowCount="1000"/>
      <Annotations><Annotation name="b">y</Annotation></Annotations>
      <Dimension name="Time" type="TimeDimension" foreignKey="t" caption="When" description="time">
        <Hierarchy primaryKey="t" description="h"><Table name="time"/>
          <Level name="Year" column="y" levelType="TimeYears" approxRowCount="3" description="l"/>
          <Level name="Half" column="h" levelType="TimeHalfYears"/>
          <Level name="Week" column="w" levelType="TimeWeeks"/>
          <Level name="Day" column="d" levelType="TimeDays"><Annotations/></Level>
        </Hierarchy>
      </Dimension>
      <Measure name="M" column="m" aggregator="sum" description="m"><Annotations/></Measure>
    </Cube></Schema>)");
  ASSERT_EQ(schema.cubes.size(), 1u);
  const auto& cube = schema.cubes[0];
  ASSERT_EQ(cube.error, "");
  EXPECT_EQ(cube.caption, "Cube");
  EXPECT_EQ(cube.description, "the cube");
  EXPECT_EQ(cube.dimensions[0].type, "TimeDimension");
  EXPECT_EQ(cube.dimensions[0].caption, "When");
  const auto& levels = cube.dimensions[0].hierarchies[0].levels;
  ASSERT_EQ(levels.size(), 4u);
  EXPECT_EQ(levels[1].level_type, "TimeHalfYears");
  EXPECT_EQ(levels[3].level_type, "TimeDays");
  EXPECT_EQ(SchemaReader::Parse(R"(<Schema name="S"><Cube name="C"><Table name="f"/>
      <Dimension name="D" type="Calendar"><Hierarchy><Level name="L" column="c"/></Hierarchy></Dimension>
      <Measure name="M" column="m" aggregator="sum"/></Cube></Schema>)")
                .cubes[0]
                .error,
            "Schema line 2: the dimension 'D' has the type 'Calendar' (StandardDimension or TimeDimension).");
}

TEST(SchemaReaderTest, RefusesWhatIsNotASchema) {
  struct Case {
    std::string xml;
    std::string expected;
  };
  const Case cases[] = {
      {"<Schema name=\"S\">\n<Cube name=\"C\">\n</Schema>", "not well-formed XML"},
      {"", "not well-formed XML"},
      {"<Catalog/>", "root element is <Catalog>, not <Schema>"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.xml);
    try {
      (void)SchemaReader::Parse(test.xml);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(test.expected), std::string::npos) << error.description();
    }
  }
  EXPECT_THROW((void)SchemaReader::Read("/nonexistent/schema.xml"), ComError);
}

TEST(SchemaReaderTest, TheExampleOfTheCatalogGuideReads) {
  std::string guide = orvex::testing::ReadTextFile(std::filesystem::path(ORVEX_SOURCE_DIR) / "docs/catalogs.md");
  auto start = guide.find("```xml\n");
  ASSERT_NE(start, std::string::npos);
  start += 7;
  auto schema = SchemaReader::Parse(guide.substr(start, guide.find("```", start) - start));
  ASSERT_EQ(schema.cubes.size(), 1u);
  EXPECT_EQ(schema.cubes[0].error, "");
  EXPECT_EQ(schema.cubes[0].dimensions.size(), 3u);
}

}  // namespace
}  // namespace orvex::engine
