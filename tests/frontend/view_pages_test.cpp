// The view body (page 1) and snapshots (page 2) as the front end writes them:
// a saved view opened by name, and the snapshot's two formats.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "frontend/orvex.h"
#include "support/hosting.h"
#include "temp_dir.h"
#include "tiny_engine.h"

namespace orvex::frontend {
namespace {

using test::HostedRequest;

// A view of the Tiny catalog's years 1997 and 1998 on the columns.
const std::string kYears =
    "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
    "<measure>Unit Sales</measure><ranges/><axes><axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t>"
    "</set></axis></axes></cubeView>";

const std::string kSnifferStart = "<script language='JavaScript' src='js/BrowserSniffer.js'></script>\n";

// `text` form-encoded.
std::string Encoded(std::string_view text) {
  std::string encoded;
  for (char c : text) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
    encoded += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string(hex);
  }
  return encoded;
}

class ViewPagesTest : public ::testing::Test {
 protected:
  void SetUp() override { orvex::testing::ServeTestCatalogs(); }

  // Writes `url` with `form` posted, through an Orvex whose saved views live in views_.
  std::string Write(const std::string& url, const std::string& form = "") {
    HostedRequest hosted(url);
    hosted.request->SetForm(form);
    Orvex orvex;
    orvex.SavedViews().SetRootFolderPath(views_.path().string());
    orvex.SetDefaultDataSource("Tiny");
    std::string page = hosted.Write(orvex);
    content_type_ = hosted.response->ContentType();
    return page;
  }

  orvex::testing::TempDir views_;
  std::string content_type_;
};

TEST_F(ViewPagesTest, OpensASavedViewNamedByFolderAndView) {
  Orvex orvex;
  orvex.SavedViews().SetRootFolderPath(views_.path().string());
  orvex.SavedViews().AddFolder(Variant(Variant::Array{}), "Team");
  orvex.SavedViews().SaveFile(Variant(Variant::Array{Variant("Team")}), "Years", kYears, false);

  const std::string page = Write("/explorer?id=1&folder=+Team+&view=+Years+");
  EXPECT_EQ(page.rfind(kSnifferStart, 0), 0u);
  EXPECT_NE(page.find("&lt;m&gt;[Time].[1998]&lt;/m&gt;"), std::string::npos) << page;
  EXPECT_NE(page.find("javascript:toggleHighlight(1, -1)\">17.00</a>"), std::string::npos);
}

TEST_F(ViewPagesTest, AViewThatCannotBeOpenedLeavesOnlyTheErrorMessage) {
  const std::string page = Write("/explorer?id=1&folder=Team&view=Missing");
  EXPECT_EQ(page.rfind("The following error has occurred: \n", 0), 0u) << page;
  EXPECT_EQ(page.find("<html>"), std::string::npos);
  // A view name of blanks names no view: the page shows the default data source.
  const std::string blank = Write("/explorer?id=1&folder=Nowhere&view=+++");
  EXPECT_EQ(blank.rfind(kSnifferStart, 0), 0u);
  EXPECT_NE(blank.find("No cube has been selected for this view."), std::string::npos);
}

TEST_F(ViewPagesTest, SnapshotFormatChoosesTheStaticTableOrTheXmlPage) {
  struct Case {
    std::string format;
    bool html;
  };
  for (const Case& c : {Case{"HTML ", true}, Case{" html", true}, Case{"xml", false}, Case{"XML", false},
                        Case{"pdf", false}, Case{"", false}}) {
    SCOPED_TRACE("[" + c.format + "]");
    const std::string page = Write("/explorer?id=2", "format=" + Encoded(c.format) + "&xml=" + Encoded(kYears));
    if (c.html) {
      EXPECT_EQ(page.rfind("<html>\n", 0), 0u) << "no browser check on a snapshot";
      EXPECT_NE(page.find("            function changeStatus(strStatus) {"), std::string::npos);
      EXPECT_EQ(page.find("js/View.js"), std::string::npos);
      EXPECT_NE(page.find("<td nowrap class='dataCell'><span class='text0'>78.00</span></td>"), std::string::npos);
      EXPECT_EQ(content_type_, "text/html");
    } else {
      EXPECT_EQ(page.rfind("<cubeView>", 0), 0u) << page;
      EXPECT_NE(page.find("<cells><c value=\"78\">78.00</c><c value=\"17\">17.00</c></cells>"), std::string::npos)
          << page;
      EXPECT_EQ(content_type_, "text/xml");
    }
  }
  // Without a view there is no document to show, only the message.
  const std::string none = Write("/explorer?id=2", "format=xml");
  EXPECT_EQ(none.rfind("The following error has occurred: \n", 0), 0u) << none;
  EXPECT_EQ(content_type_, "text/html");
}

TEST_F(ViewPagesTest, AHighlightOutOfRangeIsNoHighlight) {
  const std::pair<std::string, std::string> cases[] = {
      {"1", "1"},           {"99999999999", "-1"}, {"-7", "-1"},  {"1e400", "-1"},
      {"2147483648", "-1"}, {"-1", "-1"},          {"abc", "-1"}, {"", "-1"},
  };
  for (const auto& [value, kept] : cases) {
    SCOPED_TRACE("[" + value + "]");
    const std::string page = Write("/explorer?id=1", "xml=" + Encoded(kYears) + "&axis0_highlight=" + Encoded(value) +
                                                         "&axis1_highlight=" + Encoded(value));
    EXPECT_NE(page.find("17.00</a>"), std::string::npos) << page;
    EXPECT_EQ(page.find("error"), std::string::npos) << page;
    EXPECT_NE(page.find("name=\"axis0_highlight\" value=\"" + kept + "\""), std::string::npos);
    EXPECT_NE(page.find("name=\"axis1_highlight\" value=\"" + kept + "\""), std::string::npos);
  }
}

}  // namespace
}  // namespace orvex::frontend
