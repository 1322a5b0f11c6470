#include "olap/data_source.h"

#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/catalog.h"
#include "olap/catalogs.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/cubes.h"
#include "olap/globals.h"
#include "olap_test_support.h"

namespace orvex::olap {
namespace {

using testing::ConnectTiny;
using testing::ExpectComError;
using testing::kEngine;
using testing::NewSalesView;

TEST(DataSourceTest, ListsCatalogsAndCubesByPositionOrName) {
  auto data_source = ConnectTiny(kEngine);
  auto catalogs = data_source->Catalogs();
  ASSERT_EQ(catalogs->Count(), 1);
  auto tiny = catalogs->Item(Variant(0));
  EXPECT_EQ(tiny->Name(), "Tiny");
  EXPECT_EQ(catalogs->Item(Variant("tINY")), tiny);
  EXPECT_EQ(catalogs->NewEnum().front(), tiny);
  // Numeric text is a name, not a position.
  ExpectComError(errors::kInvalidProcedureCall, [&] { catalogs->Item(Variant("0")); });
  ComError error = ExpectComError(errors::kSubscriptOutOfRange, [&] { catalogs->Item(Variant(1)); });
  EXPECT_EQ(error.source(), "Tessel\r\nin Catalogs.Item [PropertyGet]");

  // Each catalog has a connection of its own, on its own database.
  EXPECT_NE(tiny->ActiveConnection(), data_source->ActiveConnection());
  EXPECT_EQ(tiny->ActiveConnection()->DefaultDatabase(), "Tiny");

  auto cubes = tiny->Cubes();
  EXPECT_EQ(cubes, tiny->Cubes());
  ASSERT_EQ(cubes->Count(), 1);
  EXPECT_EQ(cubes->Item(Variant("SALES"))->Name(), "Sales");
  ExpectComError(errors::kInvalidProcedureCall, [&] { cubes->Item(Variant("Warehouse")); });
}

TEST(CubeTest, AnswersMeasuresDimensionsAndHierarchyNames) {
  auto data_source = ConnectTiny(kEngine);
  auto cube = data_source->Catalogs()->Item(Variant(0))->Cubes()->Item(Variant(0));
  EXPECT_EQ(cube->DefaultMeasure()->UniqueName(), "[Measures].[Unit Sales]");
  auto measures = cube->Measures();
  EXPECT_GE(measures->Count(), 5);
  EXPECT_EQ(measures->Item(0)->UniqueName(), "[Measures].[Unit Sales]");
  EXPECT_TRUE(cube->IsAccessible());
  EXPECT_EQ(cube->Catalog()->Name(), "Tiny");

  struct Case {
    std::string unique_name, dimension, hierarchy;
  };
  const Case cases[] = {
      {"[Time]", "Time", "[Time]"},
      {" [Store].[USA] ", "Store", "[Store]"},
      {"[Measures].[Unit Sales]", "Measures", "[Measures]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unique_name);
    HierarchyObjects objects = cube->GetHierarchyObjects(c.unique_name);
    EXPECT_EQ(objects.dimension->Name(), c.dimension);
    ASSERT_NE(objects.hierarchy, nullptr);
    EXPECT_EQ(objects.hierarchy->UniqueName(), c.hierarchy);
  }
  ComError error = ExpectComError(errors::kItemNotFound, [&] { cube->GetHierarchyObjects("[Weather]"); });
  EXPECT_NE(error.source().find("\r\nin Cube.GetHierarchyObjects"), std::string::npos);
}

// A Time dimension with a calendar and a fiscal hierarchy.
const char kCalendarSchema[] = R"(<Schema name="Calendar">
  <Cube name="Sales">
    <Table name="facts"/>
    <Dimension name="Time" foreignKey="day">
      <Hierarchy hasAll="true" primaryKey="day">
        <Table name="days"/>
        <Level name="Year" column="year" uniqueMembers="true"/>
      </Hierarchy>
      <Hierarchy name="Fiscal" hasAll="true" primaryKey="day">
        <Table name="days"/>
        <Level name="Fiscal Year" column="fiscal_year" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
  </Cube>
</Schema>)";
const char kCalendarData[] =
    "CREATE TABLE days (day INTEGER, year VARCHAR, fiscal_year VARCHAR);"
    "INSERT INTO days VALUES (1, '2020', 'FY20'), (2, '2020', 'FY21'), (3, '2021', 'FY21');"
    "CREATE TABLE facts (day INTEGER, amount INTEGER);"
    "INSERT INTO facts VALUES (1, 5), (2, 7), (3, 11);";

TEST(CubeTest, NamesAHierarchyOfADimensionWithSeveral) {
  auto data_source = testing::ConnectCatalog("Calendar", kCalendarSchema, kCalendarData);
  auto cube = data_source->Catalogs()->Item(Variant("Calendar"))->Cubes()->Item(Variant("Sales"));
  HierarchyObjects dimension_only = cube->GetHierarchyObjects("[Time]");
  EXPECT_EQ(dimension_only.dimension->Name(), "Time");
  EXPECT_EQ(dimension_only.hierarchy, nullptr);
  HierarchyObjects fiscal = cube->GetHierarchyObjects("[Time].[Fiscal]");
  ASSERT_NE(fiscal.hierarchy, nullptr);
  EXPECT_EQ(fiscal.hierarchy->Name(), "Fiscal");

  auto view = cube->CreateView();
  view->Axes()->Add("<axis><hierarchy dimensionName='Time' hierarchyName='Fiscal'/></axis>");
  auto hierarchy = view->Axes()->Item(0)->Hierarchies()->Item(Variant(0));
  EXPECT_EQ(hierarchy->Caption(), "Time (Fiscal)");
  EXPECT_EQ(hierarchy->UniqueName(), "[Time].[Fiscal]");
}

TEST(CubeTest, ViewsAreDistinctAndEndWithTheirCube) {
  auto data_source = ConnectTiny(kEngine);
  auto cube = data_source->Catalogs()->Item(Variant(0))->Cubes()->Item(Variant(0));
  auto first = cube->CreateView();
  auto second = cube->CreateView();
  EXPECT_NE(first, second);
  EXPECT_EQ(first->Cube(), cube);
  EXPECT_EQ(first->f_MeasureUniqueName(), "[Measures].[Unit Sales]");
  data_source.reset();
  for (const auto& view : {first, second}) {
    ExpectComError(errors::kObjectNotSet, [&] { view->Cube(); });
    ExpectComError(errors::kObjectNotSet, [&] { view->Axes(); });
  }
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [] { std::make_shared<Cube>()->f_Construct(nullptr, 0); });
  EXPECT_EQ(error.description(), "The 'Catalog' argument must be a reference to a valid 'Catalog' object.");
}

TEST(DataSourceTest, ReassigningTheActiveConnectionKeepsItsViewsWorking) {
  auto data_source = ConnectTiny(kEngine);
  auto connection = data_source->ActiveConnection();
  auto catalog = data_source->Catalogs()->Item(Variant(0));
  auto view = NewSalesView(*data_source);
  data_source->SetActiveConnection(connection);
  EXPECT_EQ(connection->State(), provider::Connection::kStateOpen);
  EXPECT_EQ(data_source->Catalogs()->Item(Variant(0)), catalog);
  EXPECT_NO_THROW(view->f_CellSet());
}

TEST(DataSourceTest, EachConnectionStringOpensANewConnectionAndClosesTheOld) {
  auto data_source = ConnectTiny(kEngine);
  auto first = data_source->ActiveConnection();
  auto view = NewSalesView(*data_source);
  data_source->SetActiveConnection(std::string_view(first->ConnectionString()));
  EXPECT_NE(data_source->ActiveConnection(), first);
  EXPECT_EQ(data_source->ActiveConnection()->ConnectionTimeout(), 30);
  EXPECT_EQ(first->State(), provider::Connection::kStateClosed);
  ExpectComError(errors::kObjectNotSet, [&] { view->Cube(); });
}

TEST(DataSourceTest, RefusesConnectionsThatAreMissingOrClosed) {
  testing::UseTinyEngine();
  DataSource data_source;
  EXPECT_EQ(data_source.ActiveConnection(), nullptr);
  EXPECT_EQ(data_source.Catalogs()->Count(), 0);
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { data_source.SetActiveConnection(std::shared_ptr<provider::Connection>()); });
  EXPECT_EQ(error.description(), "The Connection must be a reference to a valid 'ADODB.Connection' object.");
  EXPECT_EQ(error.source(),
            "Tessel\r\nin Globals.CheckConnection\r\nin Catalogs.f_ActiveConnection [PropertySet]"
            "\r\nin DataSource.ActiveConnection [PropertySet]");
  error = ExpectComError(errors::kInvalidProcedureCall,
                         [&] { data_source.SetActiveConnection(std::make_shared<provider::Connection>()); });
  EXPECT_EQ(error.description(), "The Connection is not open.");
  // A data source name is looked up, never taken as a path or a host.
  for (const char* name : {"/etc", "no-such-source"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(data_source.SetActiveConnection(
                     std::string_view(Globals::Instance().BuildConnectionString(name, Variant(), kEngine))),
                 ComError);
  }
}

}  // namespace
}  // namespace orvex::olap
