// The parameters pane (page 5) in both languages and with sections hidden.
#include <gtest/gtest.h>

#include <string>

#include "frontend/orvex.h"
#include "support/hosting.h"

namespace orvex::frontend {
namespace {

using test::PageMatches;

std::string Expected(const std::string& name) { return test::ExpectedPage("tests/frontend/pages/" + name); }

TEST(ParamsBodyTest, MatchesItsExpectedTextInBothLanguages) {
  // The page's own query string never reaches the saved-views form's action.
  EXPECT_TRUE(PageMatches(Expected("params_body_en.txt"), test::WritePage("/explorer?id=5&x=1", 1033)));
  EXPECT_TRUE(PageMatches(Expected("params_body_nl.txt"), test::WritePage("/explorer?id=5", 1043)));
}

// The section comments of the pane written with the display modes that `configure` sets.
template <class Configure>
std::string SectionsOf(Configure configure) {
  Orvex orvex;
  configure(orvex);
  test::HostedRequest hosted("/explorer?id=5");
  const std::string page = hosted.Write(orvex);
  EXPECT_NE(page.find("        <form name='frmBookmarks' target='hidden' method='post' action=\"/explorer?id=3\">"),
            std::string::npos);
  EXPECT_NE(page.find("synchronize();\n            }\n        </script>\n    </body>\n</html>\n"), std::string::npos);
  std::string sections;
  for (const char* name : {"Data Source", "Catalog", "Cube", "Measure", "Axes", "Ranges", "Saved Views"}) {
    if (page.find("                <!-- " + std::string(name) + " -->\n") != std::string::npos) {
      sections += (sections.empty() ? "" : ", ") + std::string(name);
    }
  }
  return sections;
}

TEST(ParamsBodyTest, WritesTheSectionsWhoseDisplayModeIsEdit) {
  EXPECT_EQ(SectionsOf([](Orvex&) {}), "Data Source, Catalog, Cube, Measure, Axes, Ranges, Saved Views");
  EXPECT_EQ(SectionsOf([](Orvex& orvex) { test::SetEveryDisplayMode(orvex, dmHidden); }), "");
  EXPECT_EQ(SectionsOf([](Orvex& orvex) {
              test::SetEveryDisplayMode(orvex, dmHidden);
              orvex.SetSavedViewsDisplayMode(dmEdit);
            }),
            "Saved Views");
  EXPECT_EQ(SectionsOf([](Orvex& orvex) { orvex.SetCubeDisplayMode(dmHidden); }), "Measure, Axes, Ranges, Saved Views");
  EXPECT_EQ(SectionsOf([](Orvex& orvex) { orvex.SetRangesDisplayMode(2); }),
            "Data Source, Catalog, Cube, Measure, Axes, Saved Views");
}

TEST(ParamsBodyTest, AllSectionsHiddenLeaveAnEmptyTable) {
  Orvex orvex;
  test::SetEveryDisplayMode(orvex, dmHidden);
  test::HostedRequest hosted("/explorer?id=5");
  EXPECT_NE(hosted.Write(orvex).find("        <form name='frmInterface'>\n"
                                     "            <table border='0' cellspacing='2' cellpadding='0'>\n"
                                     "            </table>\n"
                                     "        </form>\n"),
            std::string::npos);
}

}  // namespace
}  // namespace orvex::frontend
