// The view table against expected text written from the table's layout: the
// headings of both axes merged and split, row spans, highlights, the slicer
// cell with and without the filter axis, one axis and two, the message rows
// and the links of each interactivity.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/runtime/runtime.h"
#include "platform/text.h"
#include "render_test_support.h"
#include "support/page_compare.h"

namespace orvex::render {
namespace {

using namespace testing;
using orvex::test::PageMatches;

// Two quarters of 1997 and one of 1998 on the columns (the year heading runs
// A, A, B), two states of the USA on the rows (All Stores and USA span both).
std::string QuartersByStates(std::string_view attributes = "") {
  return TinyView({{{"[Time].[1997].[Q1]"}, {"[Time].[1997].[Q2]"}, {"[Time].[1998].[Q1]"}},
                   {{"[Store].[USA].[CA]"}, {"[Store].[USA].[OR]"}}},
                  "Unit Sales", "", attributes);
}

TEST(ViewTableTest, MergesRunsOfEqualHeadingsOnBothAxes) {
  EXPECT_TRUE(PageMatches(Expected("table_merged.txt"), TableOf(WriteTablePage(Form({{"xml", QuartersByStates()}})))));
}

TEST(ViewTableTest, SplitHeadingsHighlightsAndTheFilterAxis) {
  const std::string page = WriteTablePage(Form({{"xml", QuartersByStates()},
                                                {"split_headings", " TRUE "},
                                                {"display_filter", "true"},
                                                {"axis0_highlight", "1"},
                                                {"axis1_highlight", "0"}}));
  EXPECT_TRUE(PageMatches(Expected("table_split_highlighted.txt"), TableOf(page)));
}

TEST(ViewTableTest, OneAxisStaticWithColourRanges) {
  // 1997 sells 78 (red from 50 up); 1998 sells 17, hidden below 20.
  const std::string ranges =
      "<range><floor>50</floor><ceiling></ceiling><colour>255</colour></range>"
      "<range><floor></floor><ceiling>20</ceiling><colour>-1</colour></range>";
  const std::string view = TinyView({{{"[Time].[1997]"}, {"[Time].[1998]"}}}, "Unit Sales", ranges);
  EXPECT_TRUE(PageMatches(Expected("table_one_axis_static.txt"), TableOf(WriteTablePage(Form({{"xml", view}}), 0))));
}

}  // namespace
}  // namespace orvex::render

namespace orvex::render {
namespace {

using namespace testing;

// Runs `write` on a thread of its own whose locale is `locale`, so that the
// language of the texts is chosen afresh.
std::string OnThread(int32_t locale, const std::function<std::string()>& write) {
  std::string page;
  std::thread([&] {
    runtime::SetThreadLocale(locale);
    page = write();
  }).join();
  return page;
}

std::string MessageTable(std::string_view text) {
  return "            <table border='0' cellspacing='2' cellpadding='2'>\n"
         "    <tr><td class='heading0BorderAll' nowrap>" +
         std::string(text) +
         "</td></tr>\n"
         "            </table>\n";
}

TEST(ViewTableTest, WritesOneMessageRowWhenThereIsNothingToShow) {
  const std::string three_axes = TinyView({{{"[Time].[1997]"}}, {{"[Store].[USA]"}}, {{"[Product].[Drink]"}}});
  // 1998 has no sales after March, so a non-empty axis of its third quarter has no positions.
  const std::string no_positions = TinyView({{{"[Time].[1998].[Q3]"}}}, "Unit Sales", "", "showEmpty=\"false\"");
  struct Case {
    std::string name;
    std::string form;
    RequestSetup setup;
    std::string english;
    std::string dutch;
  };
  const Case cases[] = {
      {"no data source",
       "",
       {},
       "A connection to the data source could not be retrieved, or the data source is invalid.",
       "Een verbinding met de gegevensbron kan niet gemaakt worden, of de gegevensbron is ongeldig."},
      {"no cube",
       "data_source=Tiny",
       {},
       "No cube has been selected for this view.",
       "Er is geen domein geselecteerd voor dit overzicht."},
      {"no axes",
       "data_source=Tiny&cube=Sales",
       {},
       "No axes have been selected for this view.",
       "Er zijn geen variabelen geselecteerd voor dit overzicht."},
      {"three axes",
       Form({{"xml", three_axes}}),
       {},
       "No more than two axes may be viewed at a time.",
       "Niet meer dan twee assen kunnen tegelijkertijd bekeken worden."},
      {"no positions",
       Form({{"xml", no_positions}}),
       {},
       "There are no cells in this view.",
       "Er zijn geen cellen in dit overzicht."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(orvex::test::PageMatches(MessageTable(c.english),
                                         TableOf(OnThread(1033, [&] { return WriteTablePage(c.form, 2, c.setup); }))));
    EXPECT_TRUE(orvex::test::PageMatches(MessageTable(c.dutch),
                                         TableOf(OnThread(1043, [&] { return WriteTablePage(c.form, 2, c.setup); }))));
  }
}

// The links in the heading cell of `caption`, from its opening tag to its closing one.
std::string HeadingCell(const std::string& table, std::string_view caption) {
  const std::string start = "title=\"" + std::string(caption) + "\" class='heading0BorderAll";
  size_t at = table.find(start);
  if (at == std::string::npos) return "(no heading " + std::string(caption) + ")";
  at = table.rfind("<td onMouseOver=", at);
  return table.substr(at, table.find("\n</td>\n", at) - at);
}

int CountOf(const std::string& text, std::string_view part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

TEST(ViewTableTest, HeadingLinksFollowTheMemberAndTheInteractivity) {
  // A quarter (with months) beside a month (a leaf), on the columns alone. The
  // month level holds a member, so every heading with children can collapse.
  const std::string view = TinyView({{{"[Time].[1997].[Q1]"}, {"[Time].[1997].[Q2].[4]"}}});
  struct Case {
    int32_t interactivity;
    std::string caption;
    std::vector<std::string> actions;  // the performAction calls of the cell, in order
  };
  const Case cases[] = {
      {2,
       "Q1",
       {"performAction(1, 0, 0, 1, 0, '')", "performAction(2, 0, 0, 1, 0, '')", "performAction(3, 0, 0, 1, 0, '')",
        "performAction(4, 0, 0, 1, 0, '')"}},
      {2, "4", {"performAction(3, 0, 0, 2, 1, '')", "performAction(4, 0, 0, 2, 1, '')"}},
      {1, "Q1", {"performAction(1, 0, 0, 1, 0, '')", "performAction(2, 0, 0, 1, 0, '')"}},
      {1, "4", {}},
      // The year above both: expanded below, so it collapses too.
      {2,
       "1997",
       {"performAction(1, 0, 0, 0, 0, '')", "performAction(2, 0, 0, 0, 0, '')", "performAction(3, 0, 0, 0, 0, '')",
        "performAction(4, 0, 0, 0, 0, '')"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption + " at interactivity " + std::to_string(c.interactivity));
    const std::string cell = HeadingCell(TableOf(WriteTablePage(Form({{"xml", view}}), c.interactivity)), c.caption);
    std::vector<std::string> actions;
    for (size_t at = cell.find("performAction("); at != std::string::npos; at = cell.find("performAction(", at + 1)) {
      actions.push_back(cell.substr(at, cell.find(')', at) + 1 - at));
    }
    EXPECT_EQ(actions, c.actions) << cell;
  }
  // A static table has no links at all, in headings, level titles or cells.
  const std::string table = TableOf(WriteTablePage(Form({{"xml", view}}), 0));
  EXPECT_EQ(CountOf(table, "<a "), 0);
  EXPECT_EQ(CountOf(table, "<table border='0' cellpadding='0'"), 0);
}

TEST(ViewTableTest, CaptionsFromTheCubeStayTextInAttributesScriptsAndCells) {
  const std::string view =
      "<cubeView><dataSource provider=\"MSOLAP\">Odd</dataSource><catalog>Odd \"&lt;i&gt;\" \\ '</catalog>"
      "<cube>Odd \"&lt;b&gt;cube&lt;/b&gt;\" 'x' \\ y</cube><ranges/><axes>"
      "<axis><set><mdx>[Side].[Side].Members</mdx></set></axis>"
      "<axis><set><mdx>[&lt;img src=x onerror=\"window.injected=1\"&gt;].Members</mdx></set></axis>"
      "</axes></cubeView>";
  const std::string page = WriteTablePage(Form({{"xml", view}, {"display_filter", "true"}}));
  const std::string table = TableOf(page);
  ASSERT_NE(table.find("dataCell"), std::string::npos) << table;
  for (std::string_view markup : {"<script>window", "<b>bold", "<img src=x", "<u>", "<i>"}) {
    SCOPED_TRACE(markup);
    EXPECT_EQ(page.find(markup), std::string::npos);
  }
  // A double quote would end the handler's attribute: it reaches the script as \" in the attribute's own encoding.
  EXPECT_NE(table.find("<td onMouseOver=\"return changeStatus('\\x3Cimg src=x onerror=\\&quot;window.injected=1"
                       "\\&quot;&gt; -> Group \\&quot;g\\&quot; \\x3Cu&gt; : \\&quot;&gt;\\x3Cscript&gt;"
                       "window.injected=2\\x3C/script&gt;')\" onMouseOut='return changeStatus(window.defaultStatus)'"
                       " title=\"&quot;&gt;&lt;script&gt;window.injected=2&lt;/script&gt;\" class='heading0BorderAll'"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("changeStatus('Measure : Amount \\&quot;net\\&quot; \\x3Ci&gt;')\""), std::string::npos);
  EXPECT_NE(table.find("<td class='heading0' nowrap valign='top'>it's &lt;b&gt;bold&lt;/b&gt;</td>"),
            std::string::npos);
}

}  // namespace
}  // namespace orvex::render
