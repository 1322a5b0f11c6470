#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/catalog.h"
#include "olap/cube.h"
#include "provider/cellset.h"
#include "olap_test_support.h"

// The optional elements of a view definition: filters and measures on an
// axis, read and written by the object model and left alone by the classic reader.
namespace orvex::olap {
namespace {

using testing::ConnectTiny;
using testing::ExpectComError;
using testing::kEngine;
using testing::LastStatement;
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
  const std::string axes_clause = "SELECT {Distinct({Hierarchize([Axis 0])})} ON COLUMNS, "
                                  "{Distinct({Hierarchize([Axis 1])})} ON ROWS FROM [Sales]";
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
       "SELECT {Distinct({CrossJoin({Hierarchize([Axis 0])}, {[Measures].[Unit Sales]})})} ON COLUMNS, "
       "{Distinct({Hierarchize([Axis 1])})} ON ROWS FROM [Sales] "
       "WHERE CrossJoin({[Product].[Drink], [Product].[Food]}, {[Gender].[F]})"},
      {"measures on rows, no filter: no slicer at all",
       "<measures axis='1'><m>[Measures].[Store Sales]</m><m>Unit Sales</m></measures>", kAxes,
       "SELECT {Distinct({Hierarchize([Axis 0])})} ON COLUMNS, "
       "{Distinct({CrossJoin({Hierarchize([Axis 1])}, {[Measures].[Store Sales], [Measures].[Unit Sales]})})} "
       "ON ROWS FROM [Sales]"},
      {"measures on an axis of their own, with a filter",
       "<measures axis='2'><m>Profit</m></measures>"
       "<filters><hierarchy dimensionName='Product' hierarchyName=''><m>[Product].[Drink]</m></hierarchy></filters>",
       kAxes, axes_clause.substr(0, axes_clause.size() - std::string(" FROM [Sales]").size()) +
                  ", {Distinct({[Measures].[Profit]})} ON PAGES FROM [Sales] WHERE ([Product].[Drink])"},
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
  auto data_source = ConnectTiny(testing::kRecording);
  const std::string extensions =
      "<filters><hierarchy dimensionName=\"Product\" hierarchyName=\"\"><m>[Product].[Drink]</m>"
      "<m>[Product].[Food]</m></hierarchy></filters><measures axis=\"1\"><m>[Measures].[Store Sales]</m>"
      "<m>[Measures].[Unit Sales]</m></measures>";
  auto extended = data_source->CreateExtendedCubeView(Definition(extensions));
  std::string written = extended->ToXML(0);
  EXPECT_NE(written.find("</axes>" + extensions + "</cubeView>"), std::string::npos) << written;
  auto again = data_source->CreateExtendedCubeView(written);
  EXPECT_EQ(again->ToXML(0), written);
  EXPECT_EQ(again->QueryMDX(), extended->QueryMDX());

  auto classic_plain = data_source->CreateCubeView(Definition(""));
  std::string plain_xml = classic_plain->ToXML(0);
  auto classic = data_source->CreateCubeView(written);
  // The classic measure element holds the first measure.
  std::string expected = plain_xml;
  expected.replace(expected.find("<measure>Unit Sales</measure>"), 29, "<measure>Store Sales</measure>");
  EXPECT_EQ(classic->ToXML(0), expected);
  TakeStatements();
  (void)testing::Grid(*classic);
  EXPECT_EQ(LastStatement(), classic->QueryMDX());
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

}  // namespace
}  // namespace orvex::olap
