#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/catalog.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/data_source.h"
#include "provider/cellset.h"
#include "olap_test_support.h"

// The optional elements of a view definition: filters and measures on an
// axis, read and written by the object model and left alone by the classic reader.
namespace orvex::olap {
namespace {

using testing::ConnectTiny;
using testing::ExpectComError;
using testing::Grid;
using testing::kEngine;
using testing::LastStatement;
using testing::SetAxisXml;
using testing::TakeStatements;

const char kHead[] =
    "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
    "<measure>Unit Sales</measure><ranges/>";
// Years on columns, two states on rows.
const char kAxes[] =
    "<axes><axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
    "<axis><set><t><m>[Store].[USA].[CA]</m></t><t><m>[Store].[USA].[WA]</m></t></set></axis></axes>";
const char kSets[] =
    "WITH SET [Axis 0] AS '{([Time].[1997]), ([Time].[1998])}' "
    "SET [Axis 1] AS '{([Store].[USA].[CA]), ([Store].[USA].[WA])}' ";

std::string Definition(const std::string& extensions, const std::string& axes = kAxes) {
  return std::string(kHead) + axes + extensions + "</cubeView>";
}

TEST(ViewExtensionsTest, FiltersAndMeasuresBecomeSlicerAndAxisMembers) {
  struct Case {
    const char* name;
    std::string extensions;
    std::string axes;
    std::string select_and_where;  // after the named sets
  };
  const std::string axes_clause = "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), "
                                  "Distinct({Hierarchize([Axis 1])}) ON Axis(1) FROM [Sales]";
  const Case cases[] = {
      {"no extensions: the classic statement", "", kAxes, axes_clause + " WHERE ([Measures].[Unit Sales])"},
      {"one member: a tuple with the measure",
       "<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m></hierarchy></filters>",
       kAxes, axes_clause + " WHERE ([Measures].[Unit Sales], [Product].[Drink])"},
      {"one member each of two hierarchies",
       "<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m></hierarchy>"
       "<hierarchy dimensionName='gender' hierarchyName=''><m>[Gender].[M]</m></hierarchy></filters>",
       kAxes, axes_clause + " WHERE ([Measures].[Unit Sales], [Product].[Drink], [Gender].[M])"},
      {"several members: a compound slicer, the measure innermost on columns",
       "<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m>"
       "<m>[Product].[Food]</m></hierarchy><hierarchy dimensionName='Gender' hierarchyName=''><m>[Gender].[F]</m>"
       "</hierarchy></filters>",
       kAxes,
       "SELECT Distinct({CrossJoin({Hierarchize([Axis 0])}, {[Measures].[Unit Sales]})}) ON Axis(0), "
       "Distinct({Hierarchize([Axis 1])}) ON Axis(1) FROM [Sales] "
       "WHERE CrossJoin({[Product].[Drink], [Product].[Food]}, {[Gender].[F]})"},
      {"measures on rows, no filter: no slicer at all",
       "<measures axis='1'><m>[Measures].[Store Sales]</m><m>Unit Sales</m></measures>", kAxes,
       "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), "
       "Distinct({CrossJoin({Hierarchize([Axis 1])}, {[Measures].[Store Sales], [Measures].[Unit Sales]})}) "
       "ON Axis(1) FROM [Sales]"},
      {"measures on an axis of their own, with a filter",
       "<measures axis='2'><m>Profit</m></measures>"
       "<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m></hierarchy></filters>",
       kAxes, axes_clause.substr(0, axes_clause.size() - std::string(" FROM [Sales]").size()) +
                  ", Distinct({[Measures].[Profit]}) ON Axis(2) FROM [Sales] WHERE ([Product].[Drink])"},
  };
  auto data_source = ConnectTiny(kEngine);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto view = data_source->CreateExtendedCubeView(Definition(c.extensions, c.axes));
    EXPECT_EQ(view->QueryMDX(), kSets + c.select_and_where);
  }
}

// The numbers of a statement's cells, in ordinal order.
std::vector<double> Numbers(CubeView& view, const std::string& mdx) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(view.Cube()->Catalog()->ActiveConnection());
  cellset.Open(mdx);
  int count = 1;
  auto axes = cellset.GetAxes();
  for (int axis = 0; axis < axes->Count(); ++axis) count *= axes->Item(axis)->GetPositions()->Count();
  std::vector<double> numbers;
  for (int ordinal = 0; ordinal < count; ++ordinal) {
    Variant value = cellset.Item(ordinal)->Value();
    numbers.push_back(value.IsNull() || value.IsEmpty() ? 0 : value.ToDouble());
  }
  return numbers;
}

// Two measures on columns under a filter of two states: each cell is the two
// states' figures added up (a slicer that kept one state, or crossed the
// measures wrongly, would differ).
TEST(ViewExtensionsTest, AFilterOfTwoMembersAddsUpBothMembersCells) {
  auto data_source = ConnectTiny(kEngine);
  const std::string axes =
      "<axes><axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
      "<axis><set><t><m>[Product].[Drink]</m></t><t><m>[Product].[Food]</m></t></set></axis></axes>";
  auto view = data_source->CreateExtendedCubeView(
      Definition("<measures axis='0'><m>Unit Sales</m><m>Sales Count</m></measures>"
                 "<filters><hierarchy dimensionName='Store' hierarchyName=''><m>[Store].[USA].[CA]</m>"
                 "<m>[Store].[USA].[WA]</m></hierarchy></filters>",
                 axes));
  std::vector<double> both = Numbers(*view, view->QueryMDX());
  auto one_state = [&](const std::string& state) {
    return Numbers(*view,
                   "SELECT CrossJoin({[Time].[1997], [Time].[1998]}, {[Measures].[Unit Sales], [Measures].[Sales Count]}) "
                   "ON 0, {[Product].[Drink], [Product].[Food]} ON 1 FROM [Sales] WHERE ([Store].[USA].[" + state + "])");
  };
  std::vector<double> ca = one_state("CA");
  std::vector<double> wa = one_state("WA");
  ASSERT_EQ(both.size(), 8u);
  double total = 0;
  for (size_t cell = 0; cell < both.size(); ++cell) {
    EXPECT_EQ(both[cell], ca[cell] + wa[cell]) << "cell " << cell;
    total += both[cell];
  }
  EXPECT_GT(total, 0);
}

// A hidden range applies to the view's measure wherever it stands.
TEST(ViewExtensionsTest, HiddenRangesFollowTheMeasureOntoItsAxis) {
  auto data_source = ConnectTiny(kEngine);
  std::string definition = Definition("<measures axis='1'><m>Store Sales</m><m>Unit Sales</m></measures>");
  definition.replace(definition.find("<ranges/>"), 9,
                     "<ranges><range><floor/><ceiling>10</ceiling><colour>-1</colour></range></ranges>");
  auto view = data_source->CreateExtendedCubeView(definition);
  std::string mdx = view->QueryMDX();
  EXPECT_NE(mdx.find("MEMBER [Measures].[__Filtered__Store Sales] AS 'IIf(([Measures].[Store Sales] <= 10), NULL, "
                     "[Measures].[Store Sales])'"),
            std::string::npos)
      << mdx;
  EXPECT_NE(mdx.find("{[Measures].[__Filtered__Store Sales], [Measures].[Unit Sales]}"), std::string::npos) << mdx;
}

// The extensions are written after the axes and read back to the same view;
// the classic reader builds the classic view from the same text, and writes
// and runs exactly what it would without them.
TEST(ViewExtensionsTest, WrittenReadBackAndIgnoredByTheClassicReader) {
  // A data source ends its views when it connects again: one per view.
  auto first = ConnectTiny(kEngine);
  auto second = ConnectTiny(kEngine);
  auto plain = ConnectTiny(kEngine);
  auto classic_source = ConnectTiny(kEngine);
  const std::string extensions =
      "<filters><hierarchy dimensionName=\"Product\" hierarchyName=\"\"><m>[Product].[Drink]</m>"
      "<m>[Product].[Food]</m></hierarchy></filters><measures axis=\"1\"><m>[Measures].[Store Sales]</m>"
      "<m>[Measures].[Unit Sales]</m></measures>";
  auto extended = first->CreateExtendedCubeView(Definition(extensions));
  std::string written = extended->ToXML(0);
  EXPECT_NE(written.find("</axes>" + extensions + "</cubeView>"), std::string::npos) << written;
  auto again = second->CreateExtendedCubeView(written);
  EXPECT_EQ(again->ToXML(0), written);
  EXPECT_EQ(again->QueryMDX(), extended->QueryMDX());

  // The classic reader gives the view without the extensions, its measure the first of the measures.
  std::string without = Definition("");
  without.replace(without.find("<measure>Unit Sales</measure>"), 29, "<measure>Store Sales</measure>");
  // Through the recording provider, to see the statements the classic view runs.
  auto recorded = [](std::string xml) {
    return xml.replace(xml.find("provider=\"MSOLAP\""), 17, "provider=\"Recording\"");
  };
  auto classic_plain = plain->CreateCubeView(recorded(without));
  TakeStatements();
  std::string plain_grid = Grid(*classic_plain);
  std::string plain_statement = LastStatement();
  ASSERT_NE(plain_statement, "");
  auto classic = classic_source->CreateCubeView(recorded(written));
  EXPECT_EQ(classic->ToXML(0), classic_plain->ToXML(0));
  EXPECT_EQ(Grid(*classic), plain_grid);
  EXPECT_EQ(LastStatement(), plain_statement);
  EXPECT_EQ(classic->QueryMDX(), plain_statement);

  // Once its data source connects again, the view is gone.
  (void)first->CreateCubeView(without);
  ExpectComError(errors::kObjectNotSet, [&] { (void)extended->QueryMDX(); });
}

TEST(ViewExtensionsTest, BadExtensionsFailWithTheirMessageAndGiveNoView) {
  struct Case {
    std::string extensions;
    std::string message;
  };
  const Case cases[] = {
      {"<filters><hierarchy dimensionName='Nowhere' hierarchyName=''><m>[Nowhere].[x]</m></hierarchy></filters>",
       "The cube has no hierarchy 'Nowhere' to filter on."},
      {"<filters><hierarchy dimensionName='Measures' hierarchyName=''><m>[Measures].[Profit]</m></hierarchy></filters>",
       "The measures are no filter: put them on an axis."},
      {"<filters><hierarchy dimensionName='Product' hierarchyName=''/></filters>",
       "The filter on [Product] names no member."},
      {"<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Gender].[M]</m></hierarchy></filters>",
       "'[Gender].[M]' is no member name of the hierarchy [Product]."},
      {"<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product]</m></hierarchy></filters>",
       "'[Product]' is no member name of the hierarchy [Product]."},
      {"<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]) ON 0 --</m></hierarchy>"
       "</filters>",
       "'[Product].[Drink]) ON 0 --' is no member name of the hierarchy [Product]."},
      {"<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m></hierarchy>"
       "<hierarchy dimensionName='product' hierarchyName=''><m>[Product].[Food]</m></hierarchy></filters>",
       "The hierarchy [Product] is filtered twice."},
      {"<measures><m>Nothing</m></measures>", "The cube has no measure 'Nothing'."},
      {"<measures><m>Profit</m><m>[Measures].[Profit]</m></measures>", "The measure [Measures].[Profit] is named twice."},
      {"<measures axis='-1'><m>Profit</m></measures>", "The measures' axis '-1' is no axis number."},
      {"<measures axis='1e3'><m>Profit</m></measures>", "The measures' axis '1e3' is no axis number."},
  };
  auto data_source = ConnectTiny(kEngine);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extensions);
    std::shared_ptr<CubeView> view;
    ComError error = ExpectComError(errors::kInvalidProcedureCall,
                                    [&] { view = data_source->CreateExtendedCubeView(Definition(c.extensions)); });
    EXPECT_EQ(error.description(), c.message);
    EXPECT_EQ(view, nullptr);
  }
  // What depends on the axes is checked when the statement is built.
  const Case at_query[] = {
      {"<filters><hierarchy dimensionName='Store' hierarchyName=''><m>[Store].[USA]</m></hierarchy></filters>",
       "The hierarchy [Store] is on an axis and in the filters."},
      {"<measures axis='3'><m>Profit</m></measures>", "The measures cannot go on axis 3 of a view with 2 axes."},
  };
  for (const Case& c : at_query) {
    SCOPED_TRACE(c.extensions);
    auto view = data_source->CreateExtendedCubeView(Definition(c.extensions));
    ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { (void)view->QueryMDX(); });
    EXPECT_EQ(error.description(), c.message);
  }
}


// A shop whose named sets can be checked by hand: "Big Ones" holds two
// products of two families; the other's name needs quoting in a statement.
// Bread sells 1 + 2, Cake 10, Tea 100 + 200.
const char kShopSchema[] = R"(<Schema name="Shop">
  <Cube name="Sales">
    <Table name="facts"/>
    <Dimension name="Product" foreignKey="product">
      <Hierarchy hasAll="true" allMemberName="All Products" primaryKey="product">
        <Table name="products"/>
        <Level name="Family" column="family" uniqueMembers="true"/>
        <Level name="Name" column="name" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Shop" foreignKey="shop">
      <Hierarchy hasAll="true" allMemberName="All Shops" primaryKey="shop">
        <Table name="shops"/>
        <Level name="Shop" column="name" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Time" foreignKey="year">
      <Hierarchy hasAll="true" primaryKey="year">
        <Table name="years"/>
        <Level name="Year" column="year" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
    <NamedSet name="Big Ones"><Formula>{[Product].[Food].[Bread], [Product].[Drink].[Tea]}</Formula></NamedSet>
    <NamedSet name="Bob's [Best]"><Formula>{[Product].[Drink].[Tea]}</Formula></NamedSet>
  </Cube>
</Schema>)";
const char kShopData[] =
    "CREATE TABLE products (product INTEGER, family VARCHAR, name VARCHAR);"
    "INSERT INTO products VALUES (1, 'Food', 'Bread'), (2, 'Food', 'Cake'), (3, 'Drink', 'Tea');"
    "CREATE TABLE years (year INTEGER);"
    "INSERT INTO years VALUES (2020), (2021);"
    "CREATE TABLE shops (shop INTEGER, name VARCHAR);"
    "INSERT INTO shops VALUES (1, 'Main');"
    "CREATE TABLE facts (product INTEGER, shop INTEGER, year INTEGER, amount INTEGER);"
    "INSERT INTO facts VALUES (1, 1, 2020, 1), (2, 1, 2020, 10), (3, 1, 2020, 100), (1, 1, 2021, 2), (3, 1, 2021, 200);";

std::string ShopDefinition(const std::string& rows, const std::string& extensions) {
  return "<cubeView><dataSource provider=\"MSOLAP\">Shop</dataSource><catalog>Shop</catalog><cube>Sales</cube>"
         "<measure>Amount</measure><ranges/><axes>" +
         SetAxisXml({{"[Shop].[All Shops]"}}) + rows + "</axes>" + extensions + "</cubeView>";
}

// The tuples of one axis of a statement's answer, members joined by " x ", with each row's cells.
std::string Answer(CubeView& view, const std::string& mdx) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(view.Cube()->Catalog()->ActiveConnection());
  cellset.Open(mdx);
  auto rows = cellset.GetAxes()->Item(1)->GetPositions();
  std::string text;
  for (int row = 0; row < rows->Count(); ++row) {
    auto members = rows->Item(row)->GetMembers();
    for (int index = 0; index < members->Count(); ++index) {
      text += (index ? " x " : "") + members->Item(index)->Caption();
    }
    text += " = " + cellset.Item(row)->FormattedValue() + "\n";
  }
  return text;
}

// The axis lists the set's members as they were when the view was saved
// (only Bread or Cake here); the statement takes the set as the cube defines
// it now, crossed with the other hierarchy's members in the axis's order,
// each once, and hierarchized as every axis of a view is.
TEST(ViewExtensionsTest, ANamedSetStandsForItsHierarchyOnItsAxis) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> tuples;
    std::string sets;
    std::string answer;
  };
  const Case cases[] = {
      {"the set alone", {{"[Product].[Food].[Bread]"}},
       "<set axis='1' dimensionName='Product' hierarchyName=''>[Big Ones]</set>", "Tea = 300\nBread = 3\n"},
      {"by its name, before the years",
       {{"[Product].[Food].[Bread]", "[Time].[2020]"}, {"[Product].[Food].[Bread]", "[Time].[2021]"}},
       "<set axis='1' dimensionName='product' hierarchyName=''>big ones</set>",
       "Tea x 2020 = 100\nTea x 2021 = 200\nBread x 2020 = 1\nBread x 2021 = 2\n"},
      {"after the years", {{"[Time].[2021]", "[Product].[Food].[Cake]"}},
       "<set axis='1' dimensionName='Product' hierarchyName=''>[Big Ones]</set>", "2021 x Tea = 200\n2021 x Bread = 2\n"},
      {"a name that needs quoting", {{"[Product].[Food].[Bread]"}},
       "<set axis='1' dimensionName='Product' hierarchyName=''>[Bob's [Best]]]</set>", "Tea = 300\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto data_source = testing::ConnectCatalog("Shop", kShopSchema, kShopData);
    auto view = data_source->CreateExtendedCubeView(
        ShopDefinition(SetAxisXml(c.tuples), "<namedSets>" + c.sets + "</namedSets>"));
    EXPECT_EQ(Answer(*view, view->QueryMDX()), c.answer);
  }
}

// Written after the axes, read back to the same statement, and passed by
// the classic reader, which shows the members the axis lists.
TEST(ViewExtensionsTest, ANamedSetIsWrittenReadBackAndIgnoredByTheClassicReader) {
  auto first = testing::ConnectCatalog("Shop", kShopSchema, kShopData);
  auto extended = first->CreateExtendedCubeView(
      ShopDefinition(SetAxisXml({{"[Product].[Food].[Bread]"}}),
                     "<namedSets><set axis='1' dimensionName='Product' hierarchyName=''>Big Ones</set></namedSets>"));
  std::string written = extended->ToXML(0);
  EXPECT_NE(written.find("</axes><namedSets><set axis=\"1\" dimensionName=\"Product\" hierarchyName=\"\">[Big Ones]"
                         "</set></namedSets></cubeView>"),
            std::string::npos)
      << written;
  auto second = testing::ConnectCatalog("Shop", kShopSchema, kShopData);
  auto again = second->CreateExtendedCubeView(written);
  EXPECT_EQ(again->QueryMDX(), extended->QueryMDX());

  auto classic_source = testing::ConnectCatalog("Shop", kShopSchema, kShopData);
  auto classic = classic_source->CreateCubeView(written);
  EXPECT_EQ(Answer(*classic, classic->QueryMDX()), "Bread = 3\n");
  EXPECT_EQ(classic->ToXML(0).find("namedSets"), std::string::npos);
}

TEST(ViewExtensionsTest, BadNamedSetsFailWithTheirMessage) {
  struct Case {
    std::string sets;
    std::string message;
  };
  const Case cases[] = {
      {"<set axis='1' dimensionName='Product' hierarchyName=''>[Nothing]</set>", "The cube has no named set '[Nothing]'."},
      // The text reaches a statement only as the name of a set the cube defines.
      {"<set axis='1' dimensionName='Product' hierarchyName=''>[Big Ones]} ON 0 FROM [Sales] --</set>",
       "The cube has no named set '[Big Ones]} ON 0 FROM [Sales] --'."},
      {"<set axis='-1' dimensionName='Product' hierarchyName=''>[Big Ones]</set>",
       "The named set's axis '-1' is no axis number."},
      {"<set dimensionName='Product' hierarchyName=''>[Big Ones]</set>", "The named set's axis '' is no axis number."},
      {"<set axis='1' dimensionName='Nowhere' hierarchyName=''>[Big Ones]</set>",
       "The cube has no hierarchy 'Nowhere' for the named set [Big Ones]."},
      {"<set axis='1' dimensionName='Measures' hierarchyName=''>[Big Ones]</set>",
       "The named set [Big Ones] cannot stand for the measures: put them on an axis."},
      {"<set axis='1' dimensionName='Product' hierarchyName=''>[Big Ones]</set>"
       "<set axis='1' dimensionName='Product' hierarchyName=''>[Bob's [Best]]]</set>",
       "The hierarchy [Product] has two named sets."},
  };
  auto data_source = testing::ConnectCatalog("Shop", kShopSchema, kShopData);
  const std::string rows = SetAxisXml({{"[Product].[Food].[Bread]"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sets);
    std::shared_ptr<CubeView> view;
    ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] {
      view = data_source->CreateExtendedCubeView(ShopDefinition(rows, "<namedSets>" + c.sets + "</namedSets>"));
    });
    EXPECT_EQ(error.description(), c.message);
    EXPECT_EQ(view, nullptr);
  }
  // Whether the hierarchy is on the set's axis is known when the statement is built.
  for (const char* axis : {"0", "2"}) {
    SCOPED_TRACE(axis);
    auto view = data_source->CreateExtendedCubeView(ShopDefinition(
        rows, std::string("<namedSets><set axis='") + axis +
                  "' dimensionName='Product' hierarchyName=''>[Big Ones]</set></namedSets>"));
    ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { (void)view->QueryMDX(); });
    EXPECT_EQ(error.description(),
              std::string("The named set [Big Ones] stands for [Product], which is not on axis ") + axis + ".");
  }
}

}  // namespace
}  // namespace orvex::olap
