// What a schema defines besides tables and levels, used from MDX: calculated
// members of any hierarchy with their solve order, and named sets. Numbers
// can be checked by hand from kData.
#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

// North: S1 (10 + 6) and S2 (20), 36 in 3 rows; South: S3 (5 + 1), 6 in 2 rows.
const char* kData = R"(
CREATE TABLE shop (shop_id INTEGER, region VARCHAR, shop_name VARCHAR, manager VARCHAR, size_m2 DOUBLE,
                   staff INTEGER, cafe BOOLEAN, opened DATE);
INSERT INTO shop VALUES (1, 'North', 'S1', 'Ann', 120.5, 4, true, DATE '2019-03-01'),
                        (2, 'North', 'S2', 'Bob', 80, 2, false, DATE '2020-11-15'),
                        (3, 'South', 'S3', NULL, 200, 7, NULL, DATE '2018-01-31');
CREATE TABLE facts (shop_id INTEGER, amount INTEGER);
INSERT INTO facts VALUES (1, 10), (1, 6), (2, 20), (3, 5), (3, 1);
)";

const char* kShop = R"(
    <Dimension name="Shop" foreignKey="shop_id">
      <Hierarchy hasAll="true" primaryKey="shop_id">
        <Table name="shop"/>
        <Level name="Region" column="region" uniqueMembers="true"/>
        <Level name="Shop" column="shop_name">
          <Property name="Manager" column="manager"/>
          <Property name="Size" column="size_m2" type="Numeric"/>
          <Property name="Staff" column="staff" type="Integer"/>
          <Property name="Cafe" column="cafe" type="Boolean"/>
          <Property name="Opened" column="opened" type="Date"/>
        </Level>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
    <Measure name="Rows" column="amount" aggregator="count"/>)";

// A session over one catalog "C" whose cube "C" has kShop and then `members`.
class Catalog {
 public:
  explicit Catalog(const std::string& members, const std::string& schema_level = "")
      : session_([&] {
          orvex::testing::WriteCatalog(root_.path(), "C",
                                       "<Schema name=\"S\">" + schema_level + "<Cube name=\"C\"><Table name=\"facts\"/>" +
                                           kShop + members + "</Cube></Schema>",
                                       kData);
          auto sources = std::make_shared<DataSources>();
          sources->Add("C", root_.path());
          return EngineSession(sources, "C", EngineOptions{});
        }()) {}

  std::string Table(std::string_view mdx) { return CellsetToTable(*session_.Execute("C", mdx), false); }
  std::string Error(std::string_view mdx) {
    try {
      (void)session_.Execute("C", mdx);
    } catch (const ComError& error) {
      return error.description();
    }
    return "no error";
  }

 private:
  orvex::testing::TempDir root_;
  EngineSession session_;
};

std::string Difference(const std::string& solve_order) {
  return R"(<CalculatedMember name="Difference" dimension="Shop" formula="[Shop].[North] - [Shop].[South]">)" +
         (solve_order.empty() ? ""
                              : R"(<CalculatedMemberProperty name="SOLVE_ORDER" value=")" + solve_order + R"("/>)") +
         "</CalculatedMember>";
}

std::string Average(const std::string& solve_order) {
  return R"(<CalculatedMember name="Average" dimension="Measures"><Formula>[Measures].[Amount] / [Measures].[Rows]</Formula>)" +
         (solve_order.empty() ? ""
                              : R"(<CalculatedMemberProperty name="SOLVE_ORDER" value=")" + solve_order + R"("/>)") +
         "</CalculatedMember>";
}

TEST(SchemaConstructsTest, TheHigherSolveOrderWinsAndATieGoesToTheLaterDefinition) {
  // Where both meet: the difference of averages is 12 - 3 = 9; the average of
  // differences is (36 - 6) / (3 - 2) = 30.
  struct Case {
    std::string name;
    std::string members;
    std::string expected;
  };
  const Case cases[] = {
      {"the difference solved last", Difference("10") + Average("5"), "9"},
      {"the average solved last", Difference("5") + Average("10"), "30"},
      {"a tie, the average defined later", Difference("") + Average(""), "30"},
      {"a tie, the difference defined later", Average("") + Difference(""), "9"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    Catalog catalog(test.members);
    EXPECT_EQ(catalog.Table("SELECT {[Measures].[Amount], [Measures].[Rows], [Measures].[Average]} ON 0, "
                            "{[Shop].[North], [Shop].[Difference]} ON 1 FROM C"),
              "                    | [Measures].[Amount] | [Measures].[Rows] | [Measures].[Average]\n"
              "[Shop].[North]      | 36                  | 3                 | 12\n"
              "[Shop].[Difference] | 30                  | 1                 | " +
                  test.expected + "\n");
  }
}

TEST(SchemaConstructsTest, ACalculatedMemberSitsUnderItsParentWithItsFormat) {
  Catalog catalog(R"(<CalculatedMember name="Both" hierarchy="[Shop]" parent="[Shop].[North]" visible="false"
                       formula="[Shop].[North].[S1] + [Shop].[North].[S2]">
                       <CalculatedMemberProperty name="FORMAT_STRING" value="#,##0.00"/></CalculatedMember>)");
  EXPECT_EQ(catalog.Table("SELECT {[Shop].[North].[Both], [Shop].[North].[S2]} ON 0 FROM C"),
            "[Shop].[North].[Both] | 36.00\n"
            "[Shop].[North].[S2]   | 20\n");
  // Found by its path too, and listed with AllMembers but not among the children.
  EXPECT_EQ(catalog.Table("SELECT {[North].[Both]} ON 0 FROM C"), "[Shop].[North].[Both] | 36.00\n");
  EXPECT_EQ(catalog.Table("SELECT [Shop].[North].Children ON 0 FROM C"),
            "[Shop].[North].[S1] | 16\n[Shop].[North].[S2] | 20\n");
  EXPECT_NE(catalog.Table("SELECT [Shop].AllMembers ON 0 FROM C").find("[Shop].[North].[Both]"), std::string::npos);
}

TEST(SchemaConstructsTest, ACalculatedMemberWithAParentThatIsNoMemberFailsWhereItIsUsed) {
  Catalog catalog(R"(<CalculatedMember name="X" dimension="Shop" parent="[Shop].[East]" formula="1"/>)");
  EXPECT_NE(catalog.Error("SELECT [Shop].[North] ON 0 FROM C").find("The parent [Shop].[East] of the calculated member 'X'"),
            std::string::npos);
}

TEST(SchemaConstructsTest, NamedSetsOfTheSchemaAndTheCubeServeStatements) {
  Catalog catalog(R"(<NamedSet name="Big"><Formula>Filter([Shop].[Shop].Members, [Measures].[Amount] > 15)</Formula></NamedSet>
                     <NamedSet name="Regions" formula="{[Shop].[South]}"/>)",
                  R"(<NamedSet name="Regions" formula="[Shop].[Region].Members"/>
                     <NamedSet name="Northern" formula="[Shop].[North].Children"/>
                     <NamedSet name="Broken" formula="{[Shop].[Nowhere]}"/>)");
  struct Case {
    std::string mdx;
    std::string expected;
  };
  const Case cases[] = {
      {"SELECT Big ON 0 FROM C", "[Shop].[North].[S1] | 16\n[Shop].[North].[S2] | 20\n"},
      // The cube's own set hides the schema's of the same name.
      {"SELECT [Regions] ON 0 FROM C", "[Shop].[South] | 6\n"},
      {"SELECT Northern ON 0 FROM C", "[Shop].[North].[S1] | 16\n[Shop].[North].[S2] | 20\n"},
      // A statement's own set hides the cube's.
      {"WITH SET Big AS '{[Shop].[South].[S3]}' SELECT Big ON 0 FROM C", "[Shop].[South].[S3] | 6\n"},
      {"SELECT {Northern.Item(1)} ON 0 FROM C", "[Shop].[North].[S2] | 20\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.mdx);
    EXPECT_EQ(catalog.Table(test.mdx), test.expected);
  }
  EXPECT_NE(catalog.Error("SELECT Broken ON 0 FROM C").find("In the named set [Broken]: "), std::string::npos)
      << catalog.Error("SELECT Broken ON 0 FROM C");
}

TEST(SchemaConstructsTest, MemberPropertiesAreReadWithTheMembersAndTyped) {
  Catalog catalog("");
  EXPECT_EQ(catalog.Table("WITH MEMBER [Measures].[Manager] AS [Shop].CurrentMember.Properties(\"Manager\") "
                          "MEMBER [Measures].[Size] AS [Shop].CurrentMember.Properties(\"size\") * 2 "
                          "MEMBER [Measures].[Cafe] AS IIf([Shop].CurrentMember.Properties(\"Cafe\"), \"yes\", \"no\") "
                          "MEMBER [Measures].[Opened] AS [Shop].CurrentMember.Properties(\"Opened\") "
                          "MEMBER [Measures].[Key] AS [Shop].CurrentMember.Properties(\"KEY\") "
                          "SELECT {[Measures].[Manager], [Measures].[Size], [Measures].[Cafe], [Measures].[Opened], "
                          "[Measures].[Key]} ON 0, {[Shop].[Shop].Members, [Shop].[North]} ON 1 FROM C"),
            "                    | [Measures].[Manager] | [Measures].[Size] | [Measures].[Cafe] | [Measures].[Opened] | [Measures].[Key]\n"
            "[Shop].[North].[S1] | Ann                  | 241               | yes               | 2019-03-01          | S1\n"
            "[Shop].[North].[S2] | Bob                  | 160               | no                | 2020-11-15          | S2\n"
            "[Shop].[South].[S3] |                      | 400               | no                | 2018-01-31          | S3\n"
            "[Shop].[North]      |                      |                   | no                |                     | North\n");
  EXPECT_NE(catalog.Error("WITH MEMBER [Measures].[X] AS [Shop].[North].[S1].Properties(\"Mgr\") "
                          "SELECT {[Measures].[X]} ON 0 FROM C")
                .find("The member [Shop].[North].[S1] has no property 'Mgr'"),
            std::string::npos);
}

TEST(SchemaConstructsTest, TheProviderShowsDeclaredAndIntrinsicProperties) {
  orvex::testing::TempDir root;
  orvex::testing::WriteCatalog(root.path(), "C",
                               std::string("<Schema name=\"S\"><Cube name=\"C\"><Table name=\"facts\"/>") + kShop +
                                   "</Cube></Schema>",
                               kData);
  auto sources = std::make_shared<DataSources>();
  sources->Add("C", root.path());
  EngineSession session(sources, "C", EngineOptions{});
  // An axis may ask for properties; they come with every member anyway.
  EXPECT_EQ(CellsetToTable(*session.Execute("C", "SELECT {[Shop].[South].[S3]} DIMENSION PROPERTIES "
                                                   "[Shop].[Shop].[Manager], MEMBER_UNIQUE_NAME ON 0 FROM C"),
                           false),
            "[Shop].[South].[S3] | 6\n");
  auto levels = session.GetCubeDefs("C")->Item("C")->GetDimensions()->Item("Shop")->GetHierarchies()->Item(0)->GetLevels();
  auto shops = levels->Item("Shop")->GetMembers();
  ASSERT_EQ(shops->Count(), 3);
  struct Case {
    int member;
    std::string property;
    std::string type;
    std::string text;
  };
  const Case cases[] = {
      {0, "Manager", "String", "Ann"},  {0, "Size", "Double", "120.5"}, {1, "Staff", "Long", "2"},
      {1, "Cafe", "Boolean", "False"},  {0, "Opened", "String", "2019-03-01"}, {2, "Manager", "Null", ""},
      {2, "Cafe", "Null", ""},          {2, "KEY", "String", "S3"},     {2, "NAME", "String", "S3"},
      {2, "PARENT_UNIQUE_NAME", "String", "[Shop].[South]"},          {2, "LEVEL_NUMBER", "Long", "2"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.property + " of member " + std::to_string(test.member));
    // The member is held: its properties live as long as it does.
    auto member = shops->Item(test.member);
    const auto& value = member->GetProperties().Item(test.property).value;
    EXPECT_EQ(value.TypeName(), test.type);
    if (test.type != "Null") {
      EXPECT_EQ(value.ToString(), test.text);
    }
  }
}

}  // namespace
}  // namespace orvex::engine::testing
