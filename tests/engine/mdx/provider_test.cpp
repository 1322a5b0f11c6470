#include <gtest/gtest.h>

#include "provider/catalog.h"
#include "provider/cellset.h"
#include "provider/connection.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

std::shared_ptr<provider::Connection> OpenTiny(const std::string& provider = "MSOLAP") {
  RegisterEmbeddedProvider(TinySources());
  auto connection = std::make_shared<provider::Connection>();
  connection->Open("Provider=" + provider + ";Data Source=Tiny");
  return connection;
}

std::shared_ptr<provider::CubeDef> TinyCube() {
  provider::Catalog catalog;
  catalog.SetActiveConnection(OpenTiny());
  return catalog.GetCubeDefs()->Item("sales");
}

std::shared_ptr<provider::Hierarchy> HierarchyOf(const std::string& dimension) {
  return TinyCube()->GetDimensions()->Item(dimension)->GetHierarchies()->Item(0);
}

TEST(EmbeddedProviderTest, ConnectsUnderBothNamesAndListsCatalogs) {
  for (const char* name : {"MSOLAP", "msolap", "Orvex"}) {
    SCOPED_TRACE(name);
    auto connection = OpenTiny(name);
    EXPECT_EQ(connection->DefaultDatabase(), "Tiny");
    auto rows = connection->OpenSchema(provider::Connection::kSchemaCatalogs);
    ASSERT_FALSE(rows->Eof());
    EXPECT_EQ(rows->Field("CATALOG_NAME").ToString(), "Tiny");
    rows->MoveNext();
    EXPECT_TRUE(rows->Eof());
  }
}

TEST(EmbeddedProviderTest, DataSourceIsOnlyEverANameItKnows) {
  RegisterEmbeddedProvider(TinySources());
  std::string root = orvex::testing::TinyCatalogsRoot().string();
  for (const std::string& source : {std::string("Nowhere"), root, std::string("127.0.0.2"), std::string()}) {
    SCOPED_TRACE(source);
    provider::Connection connection;
    try {
      connection.Open("Provider=MSOLAP;Data Source=" + source);
      ADD_FAILURE() << "connected";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find("'" + source + "' is not known"), std::string::npos) << error.description();
    }
    EXPECT_EQ(connection.State(), provider::Connection::kStateClosed);
  }
}

TEST(EmbeddedProviderTest, CubeDefinitionsDimensionsAndDefaultMembers) {
  auto cube = TinyCube();
  EXPECT_EQ(cube->Name(), "Sales");
  auto dimensions = cube->GetDimensions();
  ASSERT_EQ(dimensions->Count(), 8);
  EXPECT_EQ(dimensions->Item(0)->Name(), "Measures");
  EXPECT_EQ(dimensions->Item("[Promotion Media]")->Name(), "Promotion Media");
  EXPECT_THROW((void)dimensions->Item("Warehouse"), ComError);
  EXPECT_THROW((void)dimensions->Item(8), ComError);

  struct Case {
    const char* dimension;
    const char* unique_name;
    const char* default_member;
  } cases[] = {
      {"Measures", "[Measures]", "[Measures].[Unit Sales]"},
      {"Time", "[Time]", "[Time].[1997]"},
      {"Store", "[Store]", "[Store].[All Stores]"},
      {"gender", "[Gender]", "[Gender].[All Gender]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dimension);
    auto hierarchy = HierarchyOf(c.dimension);
    EXPECT_EQ(hierarchy->UniqueName(), c.unique_name);
    EXPECT_EQ(hierarchy->GetProperties().Item("DEFAULT_MEMBER").value.ToString(), c.default_member);
  }
}

TEST(EmbeddedProviderTest, LevelsAndTheirMembersByPositionAndUniqueName) {
  auto levels = HierarchyOf("Store")->GetLevels();
  ASSERT_EQ(levels->Count(), 5);
  auto state = levels->Item("Store State");
  EXPECT_EQ(state->Depth(), 2);
  auto members = state->GetMembers();
  ASSERT_EQ(members->Count(), 4);
  EXPECT_EQ(members->Item(0)->UniqueName(), "[Store].[Canada].[BC]");
  for (const char* name : {"[Store].[USA].[CA]", "[store].[usa].[ca]", "CA"}) {
    SCOPED_TRACE(name);
    auto member = members->Item(name);
    EXPECT_EQ(member->UniqueName(), "[Store].[USA].[CA]");
    EXPECT_EQ(member->LevelDepth(), 2);
    EXPECT_EQ(member->Parent()->UniqueName(), "[Store].[USA]");
    EXPECT_EQ(member->ChildCount(), 2);
    EXPECT_EQ(member->Children()->Item("San Francisco")->UniqueName(), "[Store].[USA].[CA].[San Francisco]");
  }
  // A member of another level is not in this level's collection.
  EXPECT_THROW((void)members->Item("[Store].[USA]"), ComError);
  EXPECT_EQ(levels->Item(0)->GetMembers()->Item(0)->Parent(), nullptr);

  auto measures = HierarchyOf("Measures")->GetLevels()->Item(0)->GetMembers();
  std::vector<std::string> names;
  for (int index = 0; index < measures->Count(); ++index) names.push_back(measures->Item(index)->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Unit Sales", "Store Cost", "Store Sales", "Sales Count",
                                             "Customer Count", "Profit"}));
  EXPECT_EQ(measures->Item("[Measures].[Profit]")->Caption(), "Profit");
}

TEST(EmbeddedProviderTest, CellsetThroughTheConnection) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(OpenTiny());
  cellset.Open("SELECT {[Time].[1997], [Time].[1998]} ON COLUMNS, {[Product].[Drink]} ON ROWS FROM Sales "
               "WHERE ([Measures].[Unit Sales])");
  auto axes = cellset.GetAxes();
  ASSERT_EQ(axes->Count(), 2);
  EXPECT_EQ(axes->Item(0)->Name(), "Axis0");
  EXPECT_EQ(axes->Item(1)->DimensionCount(), 1);
  EXPECT_EQ(cellset.Item(std::vector<int>{1, 0})->FormattedValue(), "10.00");
  EXPECT_EQ(cellset.Item(0)->Value().ToDouble(), 49);
  auto filter = cellset.GetFilterAxis();
  EXPECT_EQ(filter->Name(), "FilterAxis");
  auto slicer = filter->GetPositions()->Item(0)->GetMembers();
  EXPECT_EQ(filter->DimensionCount(), slicer->Count());
  EXPECT_EQ(slicer->Item(0)->UniqueName(), "[Measures].[Unit Sales]");
  EXPECT_EQ(slicer->Item("[Store].[All Stores]")->LevelDepth(), 0);
  EXPECT_THROW((void)cellset.Item(std::vector<int>{2, 0}), ComError);
  EXPECT_THROW((void)cellset.Item(2), ComError);
}

// The winning calculated member's format and colors are expressions
// evaluated at each cell; the cells show them only when asked.
TEST(EmbeddedProviderTest, CellPropertiesGiveFormatAndColorsOfEachCell) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(OpenTiny());
  cellset.Open("WITH MEMBER [Measures].[Share] AS [Measures].[Unit Sales] / 95, "
               "format_string = IIf([Measures].[Unit Sales] > 50, '0%', '0.0%'), "
               "Fore_Color = IIf([Measures].[Unit Sales] > 50, 255, 0), BACK_COLOR = 65535 "
               "SELECT {[Time].[1997], [Time].[1998]} ON 0 FROM [Sales] WHERE [Measures].[Share] "
               "cell properties VALUE, formatted_value, FORMAT_STRING, FORE_COLOR, BACK_COLOR");
  struct Expected {
    const char* formatted;
    const char* format;
    double fore;
  };
  const Expected expected[] = {{"82%", "0%", 255}, {"17.9%", "0.0%", 0}};
  for (int ordinal = 0; ordinal < 2; ++ordinal) {
    SCOPED_TRACE(ordinal);
    auto cell = cellset.Item(ordinal);
    EXPECT_EQ(cell->FormattedValue(), expected[ordinal].formatted);
    const provider::Properties& properties = cell->GetProperties();
    EXPECT_EQ(properties.Item("FORMAT_STRING").value.ToString(), expected[ordinal].format);
    EXPECT_EQ(properties.Item("FORE_COLOR").value.ToDouble(), expected[ordinal].fore);
    EXPECT_EQ(properties.Item("BACK_COLOR").value.ToDouble(), 65535);
  }
  provider::Cellset plain;
  plain.SetActiveConnection(OpenTiny());
  plain.Open("SELECT {[Time].[1997]} ON 0 FROM [Sales]");
  EXPECT_THROW((void)plain.Item(0)->GetProperties().Item("FORMAT_STRING"), ComError);
  EXPECT_THROW(plain.Open("SELECT FROM [Sales] CELL PROPERTIES VALUE, COLOUR"), ComError);
}

TEST(EmbeddedProviderTest, VisualTotalsAreCaptionedByThePattern) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(OpenTiny());
  cellset.Open("SELECT VisualTotals({[Store].[USA], [Store].[USA].[OR]}, '** * (shown *)') ON 0 FROM [Sales]");
  auto positions = cellset.GetAxes()->Item(0)->GetPositions();
  EXPECT_EQ(positions->Item(0)->GetMembers()->Item(0)->Caption(), "* USA (shown USA)");
  EXPECT_EQ(positions->Item(0)->GetMembers()->Item(0)->UniqueName(), "[Store].[USA]");
  EXPECT_EQ(positions->Item(1)->GetMembers()->Item(0)->Caption(), "OR");
  EXPECT_EQ(cellset.Item(0)->FormattedValue(), "11.00");
}

}  // namespace
}  // namespace orvex::engine::testing
