// The script that fills the parameters pane from a view, for views that hold
// everything, nothing, or something in between.
#include <gtest/gtest.h>

#include "render_test_support.h"
#include "support/page_compare.h"

namespace orvex::render {
namespace {

using namespace testing;
using orvex::test::PageMatches;

std::string SynchronizeFor(const std::string& form) { return SynchronizeOf(WriteTablePage(form)); }

bool Has(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(SynchronizeTest, FillsEveryListAndOptionOfAViewOfTwoAxes) {
  // Sorted descending without grouping, empty rows and totals hidden; a
  // hidden range without floor and a red one.
  const std::string view = TinyView(
      {{{"[Time].[1997]"}}, {{"[Store].[USA].[CA]", "[Product].[Drink]"}, {"[Store].[USA].[OR]", "[Product].[Food]"}}},
      "Store Sales",
      "<range><floor></floor><ceiling>20</ceiling><colour>-1</colour></range>"
      "<range><floor>1.5</floor><ceiling>1e6</ceiling><colour>255</colour></range>",
      "sortOrder=\"2\" groupByLevel=\"false\" showEmpty=\"false\" showTotalsOnExpand=\"false\"");
  EXPECT_TRUE(
      PageMatches(Expected("sync_full.txt"),
                  SynchronizeFor(Form({{"xml", view}, {"split_headings", "true"}, {"display_filter", "true"}}))));
}

TEST(SynchronizeTest, WritesOnlyItsFrameWithoutAConnection) {
  EXPECT_TRUE(PageMatches(Expected("sync_no_connection.txt"), SynchronizeFor("")));
  // A data source that does not connect leaves the pane empty the same way.
  EXPECT_TRUE(PageMatches(Expected("sync_no_connection.txt"), SynchronizeFor("data_source=Elsewhere")));
}

TEST(SynchronizeTest, StopsAfterTheCatalogsWhenTheCatalogIsUnknown) {
  const std::string script = SynchronizeFor("data_source=Tiny&catalog=Nowhere");
  EXPECT_TRUE(Has(script, "objOption = createOption(wndParams.document, \"Tiny\", \"Tiny\");"));
  EXPECT_FALSE(Has(script, "strSelectedValue = objOption.value;"));
  EXPECT_FALSE(Has(script, "olbxCube != null"));
  EXPECT_FALSE(Has(script, "ochkSplitHeadings != null"));
  EXPECT_TRUE(Has(script, "            }\n                wndParams.populateRangeFields();\n"));
}

TEST(SynchronizeTest, ACatalogWithoutViewListsItsCubesWithNoneChosen) {
  const std::string script = SynchronizeFor("data_source=Tiny");
  EXPECT_TRUE(Has(script,
                  "            strSelectedValue = '';\n"
                  "            if(olbxCube != null) {\n"
                  "                arrOptions = olbxCube.options;\n"
                  "                arrOptions[arrOptions.length] = createOption(wndParams.document, '', '');\n"
                  "                arrOptions.selectedIndex = 0;\n"
                  "                objOption = createOption(wndParams.document, \"Sales\", \"Sales\");\n"
                  "                arrOptions[arrOptions.length] = objOption;\n"
                  "                wndParams.sortOptions(olbxCube);\n"
                  "                selectValue(olbxCube, strSelectedValue, true);\n"
                  "            }\n"
                  "            if(ochkSplitHeadings != null) ochkSplitHeadings.checked = false;\n"
                  "            if(ochkDisplayFilter != null) ochkDisplayFilter.checked = false;\n"
                  "                wndParams.populateRangeFields();\n"))
      << script;
}

TEST(SynchronizeTest, OneAxisFillsTheColumnListAlone) {
  const std::string script = SynchronizeFor(Form({{"xml", TinyView({{{"[Time].[1997]"}}})}}));
  EXPECT_TRUE(Has(script, "if(olbxAxis0 != null)"));
  EXPECT_FALSE(Has(script, "olbxAxis1 != null"));
  EXPECT_FALSE(Has(script, "selectValue(olbxAxis1Sort"));
  EXPECT_FALSE(Has(script, "\"Measures\""));
}

TEST(SynchronizeTest, NamesThatNeedEscapingStayInsideTheirStrings) {
  const std::string view =
      "<cubeView><dataSource provider=\"MSOLAP\">Odd</dataSource><catalog>Odd \"&lt;i&gt;\" \\ '</catalog>"
      "<cube>Odd \"&lt;b&gt;cube&lt;/b&gt;\" 'x' \\ y</cube><ranges/><axes>"
      "<axis><set><mdx>[Side].[Side].Members</mdx></set></axis></axes></cubeView>";
  const std::string script = SynchronizeFor(Form({{"xml", view}}));
  EXPECT_TRUE(Has(script,
                  "objOption = createOption(wndParams.document, \"Odd \\\"\\x3Ci>\\\" \\\\ \\'\", "
                  "\"Odd \\\"\\x3Ci>\\\" \\\\ \\'\");\n"
                  "                arrOptions[arrOptions.length] = objOption;\n"
                  "                strSelectedValue = objOption.value;\n"))
      << script;
  EXPECT_TRUE(Has(script, "\"Odd \\\"\\x3Cb>cube\\x3C/b>\\\" \\'x\\' \\\\ y\""));
  EXPECT_TRUE(Has(script,
                  "createOption(wndParams.document, \"\\x3Cimg src=x onerror=\\\"window.injected=1\\\">\", "
                  "\"\\x3Cimg src=x onerror=\\\"window.injected=1\\\">\" + delim() + \"\");"));
  EXPECT_TRUE(Has(script, "createOption(wndParams.document, \"Amount \\\"net\\\" \\x3Ci>\""));
}

}  // namespace
}  // namespace orvex::render
