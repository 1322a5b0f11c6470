// The view pages as a whole: the interactive and the static page, the request
// fields they read, the actions they apply, the XML page, and every kind of
// bad input, which shows its message in place of the table and is logged.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/com/com_error.h"
#include "platform/text.h"
#include "render/view.h"
#include "render_test_support.h"
#include "support/hosting.h"
#include "tiny_engine.h"

namespace orvex::render {
namespace {

using namespace testing;
using orvex::test::PageMatches;

RequestSetup Names(std::string server_name, std::string default_dsn) {
  RequestSetup setup;
  setup.server_name = std::move(server_name);
  setup.default_dsn = std::move(default_dsn);
  return setup;
}

std::string Years() { return TinyView({{{"[Time].[1997]"}, {"[Time].[1998]"}}}); }

TEST(ViewPageTest, InteractivePageCarriesTheViewAndAnUnreadableHighlightAsNone) {
  EXPECT_TRUE(PageMatches(Expected("page_interactive.txt"),
                          WriteTablePage(Form({{"xml", Years()}, {"axis0_highlight", "abc"}}))));
}

TEST(ViewPageTest, StaticPageHasItsOwnStatusScriptAndNoFieldsOrSynchronisation) {
  const std::string ranges =
      "<range><floor>50</floor><ceiling></ceiling><colour>255</colour></range>"
      "<range><floor></floor><ceiling>20</ceiling><colour>-1</colour></range>";
  const std::string view = TinyView({{{"[Time].[1997]"}, {"[Time].[1998]"}}}, "Unit Sales", ranges);
  EXPECT_TRUE(PageMatches(Expected("page_static.txt"), WriteTablePage(Form({{"xml", view}}), 0)));
}

TEST(ViewPageTest, ChoosesTheDataSourceFromTheRequestTheDefaultOrTheServerName) {
  struct Case {
    std::string name;
    std::string form;
    RequestSetup setup;
    std::string data_source;
  };
  const Case cases[] = {
      {"server name", "", Names("Tiny", ""), "Tiny"},
      {"default before server name", "", Names("Elsewhere", "Tiny"), "Tiny"},
      {"request before default", "data_source=Tiny", Names("", "Elsewhere"), "Tiny"},
      {"none at all", "", Names("", ""), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string page = WriteTablePage(c.form, 2, c.setup);
    EXPECT_EQ(HiddenField(page, "data_source"), c.data_source);
    if (!c.data_source.empty()) {
      // Named but without a cube: the connection and catalog travel on.
      EXPECT_NE(TableOf(page).find("No cube has been selected for this view."), std::string::npos);
      EXPECT_EQ(HiddenField(page, "provider"), "MSOLAP");
      EXPECT_EQ(HiddenField(page, "catalog"), "Tiny");
      EXPECT_EQ(HiddenField(page, "xml"), "");
    }
  }
}

TEST(ViewPageTest, NamesACubeAndMeasureOrTakesTheSavedDefinition) {
  const std::string named = WriteTablePage("data_source=Tiny&catalog=tiny&cube=sales&measure=Profit");
  EXPECT_NE(HiddenField(named, "xml").find("<measure>Profit</measure><ranges/><axes/>"), std::string::npos)
      << HiddenField(named, "xml");
  // A definition handed to the page writer (a saved view) comes before the posted one.
  RequestSetup with_definition;
  with_definition.definition = TinyView({{{"[Time].[1998]"}}});
  const std::string saved = WriteTablePage(Form({{"xml", Years()}}), 2, with_definition);
  EXPECT_EQ(HiddenField(saved, "xml").find("[Time].[1997]"), std::string::npos);
  EXPECT_NE(HiddenField(saved, "xml").find("[Time].[1998]"), std::string::npos);
}

TEST(ViewPageTest, AppliesTheActionThatTheRequestCarries) {
  const std::string quarters =
      TinyView({{{"[Time].[1997].[Q1]"}, {"[Time].[1997].[Q2]"}, {"[Time].[1997].[Q3]"}, {"[Time].[1997].[Q4]"}}});
  struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"expand one position",
       {{"actionID", "1"}, {"axisID", "0"}, {"hierarchyID", "0"}, {"levelID", ""}, {"positionID", "3"}},
       {"[Time].[1997].[Q4].[12]"},
       {"[Time].[1997].[Q1].[1]"}},
      {"expand a whole level",
       {{"actionID", " 1 "}, {"axisID", "0"}, {"hierarchyID", "0"}, {"levelID", "1"}, {"positionID", ""}},
       {"[Time].[1997].[Q1].[1]", "[Time].[1997].[Q4].[12]"},
       {}},
      {"isolate",
       {{"actionID", "3"}, {"axisID", "0"}, {"hierarchyID", "0"}, {"levelID", "1"}, {"positionID", "2"}},
       {"[Time].[1997].[Q3]"},
       {"[Time].[1997].[Q1]"}},
      {"remove",
       {{"actionID", "4"}, {"axisID", "0"}, {"hierarchyID", "0"}, {"levelID", ""}, {"positionID", "0"}},
       {"[Time].[1997].[Q2]"},
       {"[Time].[1997].[Q1]"}},
      {"measure", {{"actionID", "5"}, {"value", "Store Cost"}}, {"<measure>Store Cost</measure>"}, {}},
      {"ranges",
       {{"actionID", "6"},
        {"value",
         "<ranges><range><floor>1</floor><ceiling></ceiling>"
         "<colour>255</colour></range></ranges>"}},
       {"<range><floor>1</floor><ceiling/><colour>255</colour></range>"},
       {}},
      {"axes",
       {{"actionID", "7"},
        {"value",
         "<axes><axis><hierarchy dimensionName=\"Store\" hierarchyName=\"\"/>"
         "</axis></axes>"}},
       {"[Store].[All Stores]"},
       {"[Time]"}},
      {"unknown action", {{"actionID", "8"}, {"value", "x"}}, {"[Time].[1997].[Q1]"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto fields = c.fields;
    fields.emplace_back("xml", quarters);
    const std::string page = WriteTablePage(Form(fields));
    const std::string xml = HiddenField(page, "xml");
    EXPECT_EQ(TableOf(page).find("<tr><td class='heading0BorderAll'>"), std::string::npos) << TableOf(page);
    for (const std::string& part : c.present) EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
    for (const std::string& part : c.absent) EXPECT_EQ(xml.find(part), std::string::npos) << part << "\n" << xml;
  }
}

TEST(ViewPageTest, BadInputShowsItsMessageInPlaceOfTheTableAndIsLogged) {
  struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> fields;
    bool keeps_view;  // whether the view travels on with its axis
  };
  const std::string view = Years();
  const Case cases[] = {
      {"not XML", {{"xml", "this is <not xml"}}, false},
      {"not a view", {{"xml", "<nothing/>"}}, false},
      {"unknown cube", {{"xml", ReplaceAll(view, "<cube>Sales</cube>", "<cube>Nope</cube>")}}, false},
      {"unknown data source", {{"data_source", "Elsewhere"}, {"cube", "Sales"}}, false},
      {"a path as data source", {{"data_source", "../../etc"}, {"cube", "Sales"}}, false},
      {"missing axis", {{"xml", view}, {"actionID", "1"}, {"hierarchyID", "0"}, {"positionID", "0"}}, true},
      {"axis not a number",
       {{"xml", view}, {"actionID", "3"}, {"axisID", "x"}, {"hierarchyID", "0"}, {"positionID", "0"}},
       true},
      {"axis out of range",
       {{"xml", view}, {"actionID", "4"}, {"axisID", "5"}, {"hierarchyID", "0"}, {"positionID", "0"}},
       true},
      {"hierarchy out of range",
       {{"xml", view}, {"actionID", "1"}, {"axisID", "0"}, {"hierarchyID", "3"}, {"positionID", "0"}},
       true},
      {"position out of range",
       {{"xml", view}, {"actionID", "3"}, {"axisID", "0"}, {"hierarchyID", "0"}, {"positionID", "99"}},
       true},
      {"position not a number",
       {{"xml", view}, {"actionID", "2"}, {"axisID", "0"}, {"hierarchyID", "0"}, {"positionID", "first"}},
       true},
      {"unknown measure", {{"xml", view}, {"actionID", "5"}, {"value", "No Such Measure"}}, true},
      {"broken ranges", {{"xml", view}, {"actionID", "6"}, {"value", "<ranges><range/></ranges>"}}, true},
      // An axis is rebuilt in place, so one that fails to build stays empty.
      {"broken axes",
       {{"xml", view},
        {"actionID", "7"},
        {"value",
         "<axes><axis><hierarchy dimensionName=\"Nope\" "
         "hierarchyName=\"\"/></axis></axes>"}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScopedEventLog log("render-bad-input");
    const std::string page = WriteTablePage(Form(c.fields));
    const std::string table = TableOf(page);
    const std::string start =
        "            <table border='0' cellspacing='2' cellpadding='2'>\n"
        "                <tr><td class='heading0BorderAll'>";
    ASSERT_EQ(table.rfind(start, 0), 0u) << table;
    EXPECT_GT(table.size(), start.size() + std::string("</td></tr>\n            </table>\n").size()) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3) << table;
    EXPECT_NE(log.Text().find("WriteHTMLTablePage"), std::string::npos) << log.Text();
    // The page is whole and the view, where there was one, travels on unchanged.
    EXPECT_NE(page.find("            window.defaultStatus = 'Orvex';\n"), std::string::npos);
    EXPECT_EQ(HiddenField(page, "xml").find("[Time].[1998]") != std::string::npos, c.keeps_view);
  }
  // The next request works.
  EXPECT_NE(TableOf(WriteTablePage(Form({{"xml", view}}))).find("78.00"), std::string::npos);
}

TEST(ViewPageTest, AStyleSheetThatCannotBeReadReplacesTheTableAndNoActionIsApplied) {
  test::ScopedEventLog log("render-style-sheet");
  RequestSetup without_style_sheet;
  without_style_sheet.with_style_sheet = false;
  const std::string page =
      WriteTablePage(Form({{"xml", Years()}, {"actionID", "5"}, {"value", "Profit"}}), 2, without_style_sheet);
  EXPECT_NE(TableOf(page).find("<tr><td class='heading0BorderAll'>"), std::string::npos);
  EXPECT_NE(HiddenField(page, "xml").find("<measure>Unit Sales</measure>"), std::string::npos);
  EXPECT_NE(log.Text().find("WriteHTMLTablePage"), std::string::npos);
}

TEST(ViewPageTest, XmlPageWritesTheDefinitionWithHeadingsAndCells) {
  const std::string xml = WriteXmlPage(Form({{"xml", Years()}, {"actionID", "5"}, {"value", "Store Cost"}}));
  EXPECT_EQ(xml.rfind("<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource>", 0), 0u) << xml;
  EXPECT_NE(xml.find("<measure>Store Cost</measure>"), std::string::npos);
  EXPECT_NE(xml.find("<filterAxis>"), std::string::npos);
  EXPECT_NE(xml.find("<cells>"), std::string::npos);
  EXPECT_EQ(xml.back(), '>');
  // Without a view there is no document: the error goes to the caller and the
  // page is not declared XML, so that the message can be shown.
  orvex::testing::ServeTestCatalogs();
  asp::MemoryRequest request = asp::MemoryRequest::Get("/explorer?id=2");
  asp::MemoryResponse response;
  View view;
  try {
    view.WriteXMLPage(request, response, 3);
    ADD_FAILURE() << "no error";
  } catch (const ComError& error) {
    EXPECT_NE(error.source().find("View.WriteXMLPage"), std::string::npos) << error.source();
  }
  EXPECT_EQ(response.Body(), "");
  EXPECT_EQ(response.ContentType(), "text/html");
}

}  // namespace
}  // namespace orvex::render
