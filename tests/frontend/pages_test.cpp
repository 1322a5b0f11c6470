#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "frontend/orvex.h"
#include "platform/text.h"
#include "support/hosting.h"

namespace orvex::frontend {
namespace {

using test::HostedRequest;
using test::PageMatches;

// An expected page written by hand; "{version}" stands for the product's version.
std::string Expected(const std::string& name) {
  return ReplaceAll(test::ExpectedPage("tests/frontend/pages/" + name), "{version}",
                    std::to_string(ORVEX_VERSION_MAJOR) + "." + std::to_string(ORVEX_VERSION_MINOR));
}

TEST(ChromePagesTest, MatchTheirExpectedTextInBothLanguages) {
  struct Case {
    std::string url;
    int32_t locale;
    std::string expected;
  };
  const Case cases[] = {
      {"/explorer?id=7", 1033, "header_en.txt"},
      {"/explorer?id=7", 1043, "header_nl.txt"},
      {"/explorer?id=4", 1033, "params_header_en.txt"},
      {"/explorer?id=4", 1043, "params_header_nl.txt"},
      {"/explorer?id=6", 2067, "view_header_en.txt"},
      {"/explorer?id=6", 1043, "view_header_nl.txt"},
      {"/explorer", 1043, "frameset_all_sections.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_TRUE(PageMatches(Expected(c.expected), test::WritePage(c.url, c.locale)));
  }
}

// Writes the frameset of `hosted` with the display modes that `configure` sets.
template <class Configure>
std::string WriteFrameset(HostedRequest& hosted, Configure configure) {
  Orvex orvex;
  configure(orvex);
  return hosted.Write(orvex);
}

TEST(FramesetTest, TheParametersPaneAndHiddenFrameNeedOneShownSection) {
  const auto& setters = test::kSectionDisplayModes;
  HostedRequest all_hidden("/explorer");
  EXPECT_TRUE(PageMatches(Expected("frameset_no_parameters.txt"),
                          WriteFrameset(all_hidden, [](Orvex& orvex) { test::SetEveryDisplayMode(orvex, dmHidden); })));
  // Any value but 0 hides a section.
  HostedRequest all_odd("/explorer");
  EXPECT_TRUE(PageMatches(Expected("frameset_no_parameters.txt"),
                          WriteFrameset(all_odd, [](Orvex& orvex) { test::SetEveryDisplayMode(orvex, -1); })));
  for (size_t shown = 0; shown < std::size(setters); ++shown) {
    SCOPED_TRACE(shown);
    HostedRequest one_shown("/explorer");
    EXPECT_TRUE(PageMatches(Expected("frameset_all_sections.txt"), WriteFrameset(one_shown, [&](Orvex& orvex) {
                              for (size_t section = 0; section < std::size(setters); ++section) {
                                if (section != shown) (orvex.*setters[section])(7);
                              }
                            })));
  }
}

TEST(FramesetTest, PassesRequestValuesToTheViewBodyEncoded) {
  // The keys come from the query string, the form and the cookies alike;
  // the frames' URLs never carry the outer query string.
  HostedRequest hosted("/explorer?DATA_SOURCE=Sales+%26+Stock&catalog=Sample&cube=Sales&cube=Q1&folder=Team/North");
  hosted.request->SetForm("measure=%22Units%22%3Cb%3E&catalog=not+this+one");
  hosted.request->AddCookie("view", "My_View 1");
  Orvex orvex;
  EXPECT_TRUE(PageMatches(Expected("frameset_pass_through.txt"), hosted.Write(orvex)));
}

}  // namespace
}  // namespace orvex::frontend
