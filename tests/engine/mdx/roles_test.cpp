// Roles of a schema, enforced for a connection that names one: what it may
// see of cubes, dimensions and members, and the totals it gets. Every amount
// is a power of two, so each total names the rows it adds up (see kData).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/provider/embedded_provider.h"
#include "engine/schema/schema_reader.h"
#include "provider/catalog.h"
#include "provider/connection.h"
#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

// USA: CA (LA 1 + 32, SF 2), OR (Portland 4), ME (Portland 8): 47.
// Canada: BC (Vancouver 16). All: 63. Food: 1 + 2 + 8 = 11; Drink: 4 + 16 + 32 = 52.
const char* kData = R"(
CREATE TABLE store (store_id INTEGER, country VARCHAR, state VARCHAR, city VARCHAR);
INSERT INTO store VALUES (1, 'USA', 'CA', 'LA'), (2, 'USA', 'CA', 'SF'), (3, 'USA', 'OR', 'Portland'),
                         (4, 'USA', 'ME', 'Portland'), (5, 'Canada', 'BC', 'Vancouver');
CREATE TABLE sales (store_id INTEGER, product VARCHAR, amount INTEGER);
INSERT INTO sales VALUES (1, 'Food', 1), (2, 'Food', 2), (3, 'Drink', 4), (4, 'Food', 8), (5, 'Drink', 16),
                         (1, 'Drink', 32);
)";

const char* kSchema = R"xml(<Schema name="S">
  <Cube name="Sales">
    <Table name="sales"/>
    <Dimension name="Store" foreignKey="store_id">
      <Hierarchy hasAll="true" primaryKey="store_id">
        <Table name="store"/>
        <Level name="Country" column="country" uniqueMembers="true"/>
        <Level name="State" column="state" uniqueMembers="true"/>
        <Level name="City" column="city"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Product">
      <Hierarchy hasAll="true">
        <Level name="Kind" column="product" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
    <Measure name="Biggest" column="amount" aggregator="max"/>
    <Measure name="Mean" column="amount" aggregator="avg"/>
    <CalculatedMember name="Oregon" dimension="Measures" formula="([Measures].[Amount], [Store].[USA].[OR])"/>
    <NamedSet name="Cities" formula="[Store].[City].Members"/>
  </Cube>
  <Cube name="Other">
    <Table name="sales"/>
    <Measure name="Amount" column="amount" aggregator="sum"/>
  </Cube>
  <Role name="California">
    <SchemaGrant access="none">
      <CubeGrant cube="Sales" access="all">
        <HierarchyGrant hierarchy="[Store]" access="custom" topLevel="[Store].[State]" rollupPolicy="ROLLUP">
          <MemberGrant member="[Store].[USA].[CA]" access="all"/>
          <MemberGrant member="[Store].[USA].[CA].[SF]" access="none"/>
        </HierarchyGrant>
        <HierarchyGrant hierarchy="[Product]" access="none"/>
      </CubeGrant>
    </SchemaGrant>
  </Role>
  <Role name="USA">
    <SchemaGrant access="all">
      <CubeGrant cube="Sales" access="custom">
        <HierarchyGrant hierarchy="[Store]" access="custom" rollupPolicy="partial">
          <MemberGrant member="[Store].[USA]" access="all"/>
        </HierarchyGrant>
      </CubeGrant>
    </SchemaGrant>
  </Role>
  <Role name="Countries">
    <SchemaGrant access="none">
      <CubeGrant cube="Sales" access="all">
        <HierarchyGrant hierarchy="Store" access="custom" bottomLevel="Country"/>
      </CubeGrant>
    </SchemaGrant>
  </Role>
  <Role name="NotCanada">
    <SchemaGrant access="all">
      <CubeGrant cube="Sales" access="all">
        <HierarchyGrant hierarchy="[Store]" access="custom">
          <MemberGrant member="[Store].[All Stores]" access="all"/>
          <MemberGrant member="[Store].[Canada]" access="none"/>
        </HierarchyGrant>
      </CubeGrant>
    </SchemaGrant>
  </Role>
  <Role name="OtherOnly">
    <SchemaGrant access="all">
      <CubeGrant cube="Sales" access="none"/>
    </SchemaGrant>
  </Role>
  <Role name="Both">
    <Union><RoleUsage roleName="California FULL"/><RoleUsage roleName="Countries"/></Union>
  </Role>
  <Role name="Broken">
    <SchemaGrant access="all">
      <CubeGrant cube="Sales" access="custom"><HierarchyGrant hierarchy="[Nowhere]" access="none"/></CubeGrant>
    </SchemaGrant>
  </Role>
</Schema>)xml";

// kSchema with the California role copied once per rollup policy, as "California FULL" and so on.
std::string SchemaWithPolicies() {
  std::string schema = kSchema;
  size_t begin = schema.find("  <Role name=\"California\">");
  size_t end = schema.find("</Role>", begin) + 8;
  std::string template_role = schema.substr(begin, end - begin);
  std::string roles;
  for (std::string policy : {"full", "partial", "hidden"}) {
    std::string role = template_role;
    std::string upper = policy;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    role.replace(role.find("California"), 10, "California " + upper);
    role.replace(role.find("ROLLUP"), 6, policy);
    roles += role;
  }
  schema.replace(begin, end - begin, roles);
  return schema;
}

class RolesCatalog {
 public:
  RolesCatalog() {
    orvex::testing::WriteCatalog(root_.path(), "R", SchemaWithPolicies(), kData);
    sources_ = std::make_shared<DataSources>();
    sources_->Add("R", root_.path());
  }
  // The result's grid with each run of blanks made one and lines trimmed: "[Store].[USA] | 47".
  std::string Table(const std::string& role, std::string_view mdx) {
    EngineSession session(sources_, "R", EngineOptions{}, role);
    std::string grid = CellsetToTable(*session.Execute("R", mdx), false);
    std::string table, line;
    for (char c : grid) {
      if (c == '\n') {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        table += line + "\n";
        line.clear();
      } else if (c != ' ' || (!line.empty() && line.back() != ' ')) {
        line += c;
      }
    }
    return table;
  }
  std::string Error(const std::string& role, std::string_view mdx) {
    try {
      (void)Table(role, mdx);
    } catch (const ComError& error) {
      return error.description();
    }
    return "no error";
  }
  std::vector<std::string> Cubes(const std::string& role) {
    EngineSession session(sources_, "R", EngineOptions{}, role);
    auto cubes = session.GetCubeDefs("R");
    std::vector<std::string> names;
    for (int index = 0; index < cubes->Count(); ++index) names.push_back(cubes->Item(index)->Name());
    return names;
  }
  std::vector<std::string> Dimensions(const std::string& role) {
    EngineSession session(sources_, "R", EngineOptions{}, role);
    auto dimensions = session.GetCubeDefs("R")->Item("Sales")->GetDimensions();
    std::vector<std::string> names;
    for (int index = 0; index < dimensions->Count(); ++index) names.push_back(dimensions->Item(index)->Name());
    return names;
  }
  const std::shared_ptr<DataSources>& sources() const { return sources_; }

 private:
  orvex::testing::TempDir root_;
  std::shared_ptr<DataSources> sources_;
};

RolesCatalog& Shared() {
  static RolesCatalog catalog;
  return catalog;
}

const char* kByState = "SELECT {[Measures].[Amount], [Measures].[Biggest]} ON 0, [Store].Members ON 1 FROM Sales";

TEST(RolesTest, TotalsFollowTheRollupPolicy) {
  struct Case {
    std::string role, mdx, expected;
  };
  const std::vector<Case> cases = {
      // Full: CA keeps SF's 2 though SF is hidden.
      {"California FULL", kByState,
       "| [Measures].[Amount] | [Measures].[Biggest]\n[Store].[USA].[CA] | 35 | 32\n[Store].[USA].[CA].[LA] | 33 | 32\n"},
      // Partial: CA is what the role sees of it, LA alone.
      {"California PARTIAL", kByState,
       "| [Measures].[Amount] | [Measures].[Biggest]\n[Store].[USA].[CA] | 33 | 32\n[Store].[USA].[CA].[LA] | 33 | 32\n"},
      {"California HIDDEN", kByState,
       "| [Measures].[Amount] | [Measures].[Biggest]\n[Store].[USA].[CA] | |\n[Store].[USA].[CA].[LA] | 33 | 32\n"},
      // Partial from the all member down: Canada's 16 is left out everywhere.
      {"USA", "SELECT [Measures].[Amount] ON 0, [Store].[Country].Members ON 1 FROM Sales WHERE [Store].[All Stores]",
       "| [Measures].[Amount]\n[Store].[USA] | 47\n"},
      {"USA", "SELECT [Measures].[Amount] ON 0, {[Store].[All Stores], [Store].[USA].[ME]} ON 1 FROM Sales",
       "| [Measures].[Amount]\n[Store].[All Stores] | 47\n[Store].[USA].[ME] | 8\n"},
      // A partial total by the other hierarchy: Drink is 4 + 32 in the USA.
      {"USA", "SELECT [Product].[Kind].Members ON 0 FROM Sales", "[Product].[Drink] | 36\n[Product].[Food] | 11\n"},
      // An average cannot be made from what the role sees: no value rather than one over hidden rows.
      {"USA", "SELECT [Measures].[Mean] ON 0 FROM Sales", "[Measures].[Mean] |\n"},
      {"", "SELECT [Measures].[Mean] ON 0 FROM Sales", "[Measures].[Mean] | 10.5\n"},
      // Full: the all member keeps Canada's 16, but a sum over the countries the role sees does not.
      {"NotCanada",
       "WITH MEMBER [Measures].[Seen] AS Sum([Store].[Country].Members, [Measures].[Amount]) "
       "SELECT {[Measures].[Amount], [Measures].[Seen]} ON 0 FROM Sales",
       "[Measures].[Amount] | 63\n[Measures].[Seen] | 47\n"},
      // A bottom level cuts detail, not data.
      {"Countries", "SELECT [Measures].[Amount] ON 0, [Store].Members ON 1 FROM Sales",
       "| [Measures].[Amount]\n[Store].[All Stores] | 63\n[Store].[Canada] | 16\n[Store].[USA] | 47\n"},
      // No role sees everything.
      {"", "SELECT [Measures].[Amount] ON 0, [Store].[State].Members ON 1 FROM Sales",
       "| [Measures].[Amount]\n[Store].[Canada].[BC] | 16\n[Store].[USA].[CA] | 35\n[Store].[USA].[ME] | 8\n"
       "[Store].[USA].[OR] | 4\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.role + ": " + test.mdx);
    EXPECT_EQ(Shared().Table(test.role, test.mdx), test.expected);
  }
}

TEST(RolesTest, ARestrictedConnectionCanNeitherSeeNorGuessAHiddenMember) {
  struct Case {
    std::string mdx;
    std::optional<std::string> expected;  // nullopt: the statement fails, naming what it cannot find
  };
  const std::vector<Case> cases = {
      {"SELECT {[Store].[USA].[OR]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Store].[USA].[CA].[SF]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[USA].[CA].[SF]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Store].[All Stores]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Store].[USA]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Store].&[USA].&[OR]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Store].[USA].[CA].&[SF]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Product].[Food]} ON 0 FROM Sales", std::nullopt},
      {"SELECT [Product].Members ON 0 FROM Sales", std::nullopt},
      {"WITH MEMBER [Measures].[Guess] AS ([Measures].[Amount], [Store].[USA].[OR]) "
       "SELECT {[Measures].[Guess]} ON 0 FROM Sales", std::nullopt},
      {"SELECT {[Measures].[Oregon]} ON 0 FROM Sales", std::nullopt},
      {"SELECT [Store].[CA].Children ON 0 FROM Sales", "[Store].[USA].[CA].[LA] | 33\n"},
      {"SELECT Descendants([Store].[CA], [Store].[City]) ON 0 FROM Sales", "[Store].[USA].[CA].[LA] | 33\n"},
      {"SELECT [Store].[City].Members ON 0 FROM Sales", "[Store].[USA].[CA].[LA] | 33\n"},
      {"SELECT [Cities] ON 0 FROM Sales", "[Store].[USA].[CA].[LA] | 33\n"},
      {"SELECT {[Store].[CA].Parent} ON 0 FROM Sales", ""},
      {"SELECT [Store].[CA].Siblings ON 0 FROM Sales", "[Store].[USA].[CA] | 35\n"},
      {"SELECT {[Store].[CA].&[LA]} ON 0 FROM Sales", "[Store].[USA].[CA].[LA] | 33\n"},
      {"SELECT {[Measures].[Amount]} ON 0 FROM Sales", "[Measures].[Amount] | 35\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.mdx);
    if (!test.expected) {
      EXPECT_NE(Shared().Error("California FULL", test.mdx), "no error");
      EXPECT_EQ(Shared().Error("", test.mdx), "no error") << "the statement itself is sound";
    } else {
      EXPECT_EQ(Shared().Table("California FULL", test.mdx), *test.expected);
    }
  }
}

TEST(RolesTest, CubesAndDimensionsWithoutAccessAreNotListedNorQueried) {
  EXPECT_EQ(Shared().Cubes(""), (std::vector<std::string>{"Sales", "Other"}));
  EXPECT_EQ(Shared().Cubes("OtherOnly"), (std::vector<std::string>{"Other"}));
  EXPECT_EQ(Shared().Cubes("California FULL"), (std::vector<std::string>{"Sales"}));
  EXPECT_EQ(Shared().Dimensions("California FULL"), (std::vector<std::string>{"Measures", "Store"}));
  EXPECT_EQ(Shared().Dimensions("USA"), (std::vector<std::string>{"Measures", "Store", "Product"}));
  // Unknown and forbidden read alike: the message does not tell that the cube exists.
  std::string forbidden = Shared().Error("OtherOnly", "SELECT FROM Sales");
  std::string unknown = Shared().Error("OtherOnly", "SELECT FROM Nowhere");
  EXPECT_NE(forbidden, "no error");
  EXPECT_EQ(forbidden.substr(0, 10), unknown.substr(0, 10));
  EXPECT_EQ(forbidden.find("Sales") != std::string::npos, unknown.find("Nowhere") != std::string::npos);
}

TEST(RolesTest, AUnionShowsWhatEitherRoleShows) {
  EXPECT_EQ(Shared().Table("Both", "SELECT [Measures].[Amount] ON 0, [Store].Members ON 1 FROM Sales"),
            "| [Measures].[Amount]\n[Store].[All Stores] | 63\n[Store].[Canada] | 16\n[Store].[USA] | 47\n"
            "[Store].[USA].[CA] | 35\n[Store].[USA].[CA].[LA] | 33\n");
  EXPECT_EQ(Shared().Table("Both", "SELECT [Product].Members ON 0 FROM Sales"),
            "[Product].[All Products] | 63\n[Product].[Drink] | 52\n[Product].[Food] | 11\n");
}

TEST(RolesTest, AnUnknownOrBrokenRoleRefusesTheConnection) {
  EXPECT_NE(Shared().Error("Nobody", "SELECT FROM Sales").find("The role 'Nobody' is not defined"), std::string::npos);
  std::string broken = Shared().Error("Broken", "SELECT FROM Sales");
  EXPECT_NE(broken.find("[Nowhere]"), std::string::npos) << broken;
  EXPECT_NE(broken.find("Schema line"), std::string::npos) << broken;
}

TEST(RolesTest, ABrokenRoleIsKeptWithItsReasonAndTheCubesStillLoad) {
  struct Case {
    std::string grants, reason;
  };
  const std::vector<Case> cases = {
      {R"(<SchemaGrant access="some"/>)", "must be one of all, all_dimensions, none"},
      {R"(<SchemaGrant access="all"><CubeGrant access="all"/></SchemaGrant>)", "no cube"},
      {R"(<SchemaGrant access="all"><CubeGrant cube="C" access="all">
            <HierarchyGrant hierarchy="[S]" access="custom" rollupPolicy="most"/></CubeGrant></SchemaGrant>)",
       "'most'"},
      {R"(<SchemaGrant access="all"><CubeGrant cube="C" access="all">
            <HierarchyGrant hierarchy="[S]" access="all" topLevel="[S].[A]"/></CubeGrant></SchemaGrant>)",
       "custom"},
      {R"(<SchemaGrant access="all"><CubeGrant cube="C" access="all"><HierarchyGrant hierarchy="[S]" access="custom">
            <MemberGrant member="[S].[x]" access="maybe"/></HierarchyGrant></CubeGrant></SchemaGrant>)",
       "'maybe'"},
      {R"(<Union/>)", "names no role"},
      {R"(<SchemaGrant access="all"/><Union><RoleUsage roleName="X"/></Union>)", "both"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.grants);
    schema::SchemaDef schema = SchemaReader::Parse(
        "<Schema name=\"S\"><Cube name=\"C\"><Table name=\"t\"/><Measure name=\"M\" column=\"m\" aggregator=\"sum\"/>"
        "</Cube><Role name=\"R\">" + test.grants + "</Role></Schema>");
    ASSERT_EQ(schema.roles.size(), 1u);
    EXPECT_NE(schema.roles[0].error.find(test.reason), std::string::npos) << schema.roles[0].error;
    EXPECT_NE(schema.roles[0].error.find("Schema line "), std::string::npos) << schema.roles[0].error;
    EXPECT_EQ(schema.cubes.at(0).error, "");
  }
}

TEST(RolesTest, RolesNeverShareAnswers) {
  // The same statement alternately under each role: each answer is its own,
  // whatever the others left in the caches.
  const char* mdx = "SELECT [Measures].[Amount] ON 0 FROM Sales WHERE [Store].[USA].[CA]";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(Shared().Table("", mdx), "[Measures].[Amount] | 35\n");
    EXPECT_EQ(Shared().Table("California PARTIAL", mdx), "[Measures].[Amount] | 33\n");
    EXPECT_EQ(Shared().Table("California HIDDEN", mdx), "[Measures].[Amount] |\n");
    EXPECT_EQ(Shared().Table("California FULL", mdx), "[Measures].[Amount] | 35\n");
  }
}

TEST(RolesTest, TheConnectionStringNamesTheRole) {
  RegisterEmbeddedProvider(Shared().sources());
  auto connection = std::make_shared<provider::Connection>();
  connection->Open("Provider=Orvex;Data Source=R;Role=California PARTIAL", "", "", -1);
  provider::Catalog catalog;
  catalog.SetActiveConnection(connection);
  auto store = catalog.GetCubeDefs()->Item("Sales")->GetDimensions()->Item("Store")->GetHierarchies()->Item(0);
  EXPECT_EQ(store->GetLevels()->Item(0)->GetMembers()->Count(), 0) << "the all level is above the role's top level";
  auto states = store->GetLevels()->Item(2)->GetMembers();
  ASSERT_EQ(states->Count(), 1);
  EXPECT_EQ(states->Item(0)->UniqueName(), "[Store].[USA].[CA]");
  EXPECT_EQ(states->Item(0)->ChildCount(), 1);
  EXPECT_EQ(states->Item(0)->Parent(), nullptr);
}

TEST(RolesTest, AnImposedRoleOverridesTheConnectionString) {
  RegisterEmbeddedProvider(Shared().sources());
  auto count_states = [](const std::string& connection_string) {
    auto connection = std::make_shared<provider::Connection>();
    connection->Open(connection_string, "", "", -1);
    provider::Catalog catalog;
    catalog.SetActiveConnection(connection);
    auto store = catalog.GetCubeDefs()->Item("Sales")->GetDimensions()->Item("Store")->GetHierarchies()->Item(0);
    return store->GetLevels()->Item(2)->GetMembers()->Count();
  };
  EXPECT_EQ(count_states("Provider=Orvex;Data Source=R"), 4);
  {
    provider::ScopedConnectionRole imposed("California FULL");
    for (const char* connection_string : {"Provider=Orvex;Data Source=R", "Provider=Orvex;Data Source=R;Role=",
                                          "Provider=Orvex;Data Source=R;Role=USA"}) {
      SCOPED_TRACE(connection_string);
      EXPECT_EQ(count_states(connection_string), 1);
    }
    provider::ScopedConnectionRole nothing("");
    EXPECT_EQ(count_states("Provider=Orvex;Data Source=R"), 1) << "an empty guard imposes nothing";
  }
  EXPECT_EQ(count_states("Provider=Orvex;Data Source=R"), 4) << "the guard ends with its scope";
}

}  // namespace
}  // namespace orvex::engine::testing
