#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/cell.h"
#include "olap/range.h"
#include "olap/ranges.h"
#include "olap_test_support.h"

// Writing a view as its definition document and building views from one.
namespace orvex::olap {
namespace {

using testing::AddSetAxis;
using testing::ConnectTiny;
using testing::ExpectComError;
using testing::Grid;
using testing::kEngine;
using testing::NewSalesView;
using testing::ResultTuples;
using testing::SourceTuples;

const char kHead[] =
    "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>";

std::string Repeat(const std::string& text, int times) {
  std::string repeated;
  for (int time = 0; time < times; ++time) repeated += text;
  return repeated;
}

// Years by store and product, sorted and filtered, with a colour and a hidden range.
std::shared_ptr<CubeView> ExampleView(DataSource& data_source) {
  auto view = NewSalesView(data_source);
  AddSetAxis(*view, {{"[Time].[1997]"}, {"[Time].[1998]"}});
  AddSetAxis(*view, {{"[Store].[USA]", "[Product].[Drink]"}, {"[Store].[USA]", "[Product].[Food]"}},
             "sortOrder='2' groupByLevel='false' showEmpty='false'");
  view->Ranges()->Add(Variant(0), Variant(30), clrRed);
  view->Ranges()->Add(Variant(), Variant(7.5), clrHidden);
  return view;
}

TEST(ViewDefinitionTest, SetFormWritesEveryTupleAndOption) {
  auto data_source = ConnectTiny(kEngine);
  auto view = ExampleView(*data_source);
  EXPECT_EQ(view->ToXML(0),
            std::string(kHead) +
                "<measure>Unit Sales</measure><ranges><range><floor>0</floor><ceiling>30</ceiling><colour>255</colour>"
                "</range><range><floor/><ceiling>7.5</ceiling><colour>-1</colour></range></ranges><axes>"
                "<axis sortOrder=\"0\" groupByLevel=\"true\" showEmpty=\"true\" showTotalsOnExpand=\"true\"><set>"
                "<t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
                "<axis sortOrder=\"2\" groupByLevel=\"false\" showEmpty=\"false\" showTotalsOnExpand=\"true\"><set>"
                "<t><m>[Store].[USA]</m><m>[Product].[Drink]</m></t><t><m>[Store].[USA]</m><m>[Product].[Food]</m></t>"
                "</set></axis></axes></cubeView>");
}

TEST(ViewDefinitionTest, HeadingFormMergesRunsAndStopsAtEmptyLevels) {
  auto data_source = ConnectTiny(kEngine);
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997].[Q1]"}, {"[Time].[1997].[Q2]"}, {"[Time].[1998]"}});
  const std::string axis_head =
      "<axis sortOrder=\"0\" groupByLevel=\"true\" showEmpty=\"true\" showTotalsOnExpand=\"true\">"
      "<hierarchy dimensionName=\"Time\" hierarchyName=\"\"><level name=\"Year\"><h span=\"2\">1997</h><h>1998</h>"
      "</level><level name=\"Quarter\"><h>Q1</h><h>Q2</h><h empty=\"true\"/></level>";
  const std::string head = std::string(kHead) + "<measure>Unit Sales</measure><ranges/><axes>" + axis_head;
  EXPECT_EQ(view->ToXML(), head + "</hierarchy></axis></axes></cubeView>");
  EXPECT_EQ(view->ToXML(2), head +
                                "<level name=\"Month\"><h empty=\"true\"/><h empty=\"true\"/><h empty=\"true\"/>"
                                "</level></hierarchy></axis></axes></cubeView>");

  std::string with_cells = view->ToXML(3);
  size_t store = with_cells.find("<hierarchy dimensionName=\"Store\" hierarchyName=\"\"><level name=");
  ASSERT_NE(store, std::string::npos) << with_cells;
  EXPECT_EQ(with_cells.find("<h>All Stores</h></level></hierarchy>", store),
            with_cells.find("</level>", store) - std::string("<h>All Stores</h>").size());
  std::string cells = with_cells.substr(with_cells.find("<cells>"));
  EXPECT_EQ(cells, "<cells><c value=\"21\">" + view->GetCell(0)->FormattedValue() + "</c><c value=\"22\">" +
                       view->GetCell(1)->FormattedValue() + "</c><c value=\"17\">" +
                       view->GetCell(2)->FormattedValue() + "</c></cells></cubeView>");
  EXPECT_NE(view->ToXML(4).find("<level name=\"Store Country\"><h empty=\"true\"/></level>"), std::string::npos);

  auto empty = NewSalesView(*data_source);
  std::string no_axes = empty->ToXML(3);
  EXPECT_NE(no_axes.find("<axes/><filterAxis>"), std::string::npos);
  EXPECT_NE(no_axes.find("<cells/></cubeView>"), std::string::npos);
}

TEST(ViewDefinitionTest, CellsCarryTheirRangeColourAndSkipEmptyValues) {
  auto data_source = ConnectTiny(kEngine);
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Store].[Canada]"}, {"[Store].[USA].[OR]"}});
  view->Ranges()->Add(Variant(0), Variant(30), clrRed);
  std::string xml = view->ToXML(3);
  EXPECT_EQ(xml.substr(xml.find("<cells>")), "<cells><c/><c value=\"11\" colour=\"255\">" +
                                                  view->GetCell(1)->FormattedValue() + "</c></cells></cubeView>");
}

TEST(ViewDefinitionTest, EveryFormatRebuildsTheSameView) {
  auto data_source = ConnectTiny(kEngine);
  auto original = ExampleView(*data_source);
  original->SetMeasure(Variant("Store Sales"));
  AddSetAxis(*original, {{"[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big]] Cola]"}});
  original->Axes()->Item(2)->SetShowTotalsOnExpand(false);
  const std::string grid = Grid(*original);
  // Building a view reconnects its data source, which ends the views built before.
  auto reader = ConnectTiny(kEngine);
  for (int32_t format : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE(format);
    auto rebuilt = reader->CreateCubeView(original->ToXML(format));
    EXPECT_EQ(rebuilt->f_MeasureUniqueName(), "[Measures].[Store Sales]");
    ASSERT_EQ(rebuilt->Axes()->Count(), 3);
    for (int32_t index = 0; index < 3; ++index) {
      auto before = original->Axes()->Item(index);
      auto after = rebuilt->Axes()->Item(index);
      EXPECT_EQ(ResultTuples(*after), ResultTuples(*before));
      EXPECT_EQ(after->SortOrder(), before->SortOrder());
      EXPECT_EQ(after->GroupByLevel(), before->GroupByLevel());
      EXPECT_EQ(after->ShowEmpty(), before->ShowEmpty());
      EXPECT_EQ(after->ShowTotalsOnExpand(), before->ShowTotalsOnExpand());
    }
    if (format == 0) {
      EXPECT_EQ(SourceTuples(*rebuilt->Axes()->Item(1)), SourceTuples(*original->Axes()->Item(1)));
    }
    ASSERT_EQ(rebuilt->Ranges()->Count(), 2);
    EXPECT_TRUE(rebuilt->Ranges()->Item(1)->Floor().IsNull());
    EXPECT_EQ(rebuilt->Ranges()->Item(1)->Ceiling().ToDouble(), 7.5);
    EXPECT_EQ(Grid(*rebuilt), grid);
    if (format == 0) {
      EXPECT_EQ(rebuilt->ToXML(0), original->ToXML(0));
    }
  }
}

TEST(ViewDefinitionTest, NumbersReadBackExactly) {
  auto data_source = ConnectTiny(kEngine);
  auto view = NewSalesView(*data_source);
  const double bounds[] = {0.1, -1234567.125, 1e-7, 123456789012.5, 2.0 / 3.0};
  for (double bound : bounds) view->Ranges()->Add(Variant(bound), Variant(), clrBlue);
  auto reader = ConnectTiny(kEngine);
  auto rebuilt = reader->CreateCubeView(view->ToXML(0));
  for (int32_t index = 0; index < 5; ++index) {
    EXPECT_EQ(rebuilt->Ranges()->Item(index)->Floor().ToDouble(), bounds[index]) << index;
  }
}

TEST(ViewDefinitionTest, ReadersTakeWhatIsThereAndLeaveTheRest) {
  auto data_source = ConnectTiny("Recording");
  const std::string document = std::string(
      "<cubeView><dataSource>Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube><ranges/><axes>"
      "<axis><set><mdx>[Time].[1997].Children</mdx></set></axis><axis showEmpty='0' sortOrder='1'/>"
      "<axis groupByLevel='FALSE'><hierarchy dimensionName='Store' hierarchyName=''/></axis></axes></cubeView>");
  auto view = data_source->CreateCubeView(document);
  EXPECT_EQ(data_source->ActiveConnection()->ConnectionString(), "Provider=MSOLAP;Data Source=Tiny;SOURCE_DSN=Tiny");
  EXPECT_EQ(view->f_MeasureUniqueName(), "[Measures].[Unit Sales]");
  auto axes = view->Axes();
  ASSERT_EQ(axes->Count(), 3);
  EXPECT_EQ(axes->Item(0)->f_SourcePositionCount(), 4);
  EXPECT_TRUE(axes->Item(0)->ShowEmpty());
  EXPECT_FALSE(axes->Item(1)->ShowEmpty());
  EXPECT_EQ(axes->Item(1)->SortOrder(), 1);
  EXPECT_TRUE(axes->Item(1)->ShowTotalsOnExpand());
  EXPECT_EQ(axes->Item(1)->Hierarchies()->Count(), 0);
  EXPECT_FALSE(axes->Item(2)->GroupByLevel());
  EXPECT_EQ(SourceTuples(*axes->Item(2)), "[Store].[All Stores]\n");

  // Fewer axes in a document remove the surplus; the remaining one is read again.
  axes->Populate("<axes><axis sortOrder='2'><set><t><m>[Time].[1998]</m></t></set></axis></axes>");
  ASSERT_EQ(axes->Count(), 1);
  EXPECT_EQ(axes->Item(0)->SortOrder(), 2);
  EXPECT_EQ(SourceTuples(*axes->Item(0)), "[Time].[1998]\n");
}

TEST(ViewDefinitionTest, HeadingFormOfSpansAndEmptyHeadings) {
  auto data_source = ConnectTiny(kEngine);
  auto view = NewSalesView(*data_source);
  view->Axes()->Add(
      "<axis><hierarchy dimensionName='Time' hierarchyName=''><level><h span='3'>1997</h><h>1998</h></level>"
      "<level><h>Q1</h><h span='2' empty='TRUE'/><h empty='true'/></level></hierarchy></axis>");
  // The collapsed years after the expanded quarter stay in the member list.
  EXPECT_EQ(SourceTuples(*view->Axes()->Item(0)), "[Time].[1997].[Q1]\n[Time].[1997]\n[Time].[1998]\n");
}

TEST(ViewDefinitionTest, BadDocumentsFailWithTheirErrorAndReturnNoView) {
  auto data_source = ConnectTiny(kEngine);
  const std::string head = "<cubeView><dataSource>Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>";
  struct Case {
    std::string name;
    std::string document;
    int32_t number;
  };
  const Case cases[] = {
      {"not XML", "<cubeView>", errors::kInvalidProcedureCall},
      {"no data source", "<cubeView><catalog>Tiny</catalog></cubeView>", errors::kObjectNotSet},
      {"no ranges", head + "<axes/></cubeView>", errors::kObjectNotSet},
      {"no axes", head + "<ranges/></cubeView>", errors::kObjectNotSet},
      {"unknown catalog",
       "<cubeView><dataSource>Tiny</dataSource><catalog>Big</catalog><cube>Sales</cube><ranges/><axes/></cubeView>",
       0},
      {"unknown cube",
       "<cubeView><dataSource>Tiny</dataSource><catalog>Tiny</catalog><cube>Stock</cube><ranges/><axes/></cubeView>",
       errors::kInvalidProcedureCall},
      {"unknown measure", head + "<measure>Weight</measure><ranges/><axes/></cubeView>", errors::kItemNotFound},
      {"range without floor", head + "<ranges><range><ceiling/><colour>1</colour></range></ranges><axes/></cubeView>",
       errors::kObjectNotSet},
      {"text colour", head + "<ranges><range><floor/><ceiling/><colour>red</colour></range></ranges><axes/></cubeView>",
       errors::kTypeMismatch},
      {"text sort order", head + "<ranges/><axes><axis sortOrder='up'/></axes></cubeView>", errors::kTypeMismatch},
      {"bad flag", head + "<ranges/><axes><axis showEmpty='maybe'/></axes></cubeView>", errors::kTypeMismatch},
      {"text span",
       head + "<ranges/><axes><axis><hierarchy dimensionName='Time' hierarchyName=''><level><h span='two'>1997</h>"
              "</level></hierarchy></axis></axes></cubeView>",
       errors::kTypeMismatch},
      {"huge span",
       head + "<ranges/><axes><axis><hierarchy dimensionName='Time' hierarchyName=''><level>"
              "<h span='2000000000'>1997</h></level></hierarchy></axis></axes></cubeView>",
       errors::kInvalidProcedureCall},
      {"unknown dimension",
       head + "<ranges/><axes><axis><hierarchy dimensionName='Weather' hierarchyName=''/></axis></axes></cubeView>",
       errors::kItemNotFound},
      {"unknown member", head + "<ranges/><axes><axis><set><t><m>[Time].[1066]</m></t></set></axis></axes></cubeView>",
       0},
      {"nested too deeply", head + "<ranges/><axes><axis>" + Repeat("<set>", 100000) + Repeat("</set>", 100000) +
                                "</axis></axes></cubeView>",
       errors::kInvalidProcedureCall},
      {"unclosed and nested too deeply", head + "<ranges/><axes><axis>" + Repeat("<a>", 100000), errors::kInvalidProcedureCall},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      data_source->CreateCubeView(c.document);
      ADD_FAILURE() << "a view was built";
    } catch (const ComError& error) {
      if (c.number != 0) {
        EXPECT_EQ(error.number(), c.number) << error.description();
      }
      EXPECT_EQ(error.source().substr(error.source().rfind("\r\n")), "\r\nin DataSource.CreateCubeView");
      if (c.number == errors::kInvalidProcedureCall && c.name == "not XML") {
        EXPECT_EQ(error.description(), "The XML document could not be loaded.");
        EXPECT_EQ(error.source(), "Tessel\r\nin DataSource.CreateCubeView");
      }
    }
  }
}

TEST(ViewDefinitionTest, NestedSetsWithinTheLimitsBuildTheirView) {
  auto data_source = ConnectTiny(kEngine);
  const std::string head = "<cubeView><dataSource>Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>";
  const std::string tuple = "<t><m>[Time].[1997]</m></t>";
  auto view = data_source->CreateCubeView(head + "<ranges/><axes><axis>" + Repeat("<set>", 90) + tuple +
                                          Repeat("</set>", 90) + "</axis></axes></cubeView>");
  EXPECT_EQ(SourceTuples(*view->Axes()->Item(0)), "[Time].[1997]\n");
  // Deeper than the XML allows, a clear message and no view.
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] {
    data_source->CreateCubeView(head + "<ranges/><axes><axis>" + Repeat("<set>", 150) + tuple +
                                Repeat("</set>", 150) + "</axis></axes></cubeView>");
  });
  EXPECT_NE(error.description().find("nested more than 100 elements deep"), std::string::npos);
}

}  // namespace
}  // namespace orvex::olap
