#include "frontend/orvex.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "support/hosting.h"

namespace orvex::frontend {
namespace {

using test::HostedRequest;
using test::ObjectVariant;
using test::ScopedEventLog;

using Modes = std::array<int32_t, 7>;

Modes ModesOf(const Orvex& orvex) {
  return {orvex.DataSourceDisplayMode(), orvex.CatalogDisplayMode(), orvex.CubeDisplayMode(),
          orvex.MeasureDisplayMode(),    orvex.AxesDisplayMode(),    orvex.RangesDisplayMode(),
          orvex.SavedViewsDisplayMode()};
}

TEST(OrvexTest, HidingALowerSectionHidesTheSectionsItNeeds) {
  struct Case {
    std::string name;
    std::function<void(Orvex&)> set;
    Modes modes;
  };
  const Case cases[] = {
      {"data source", [](Orvex& o) { o.SetDataSourceDisplayMode(dmHidden); }, {1, 0, 0, 0, 0, 0, 0}},
      {"catalog", [](Orvex& o) { o.SetCatalogDisplayMode(dmHidden); }, {1, 1, 0, 0, 0, 0, 0}},
      {"cube", [](Orvex& o) { o.SetCubeDisplayMode(dmHidden); }, {1, 1, 1, 0, 0, 0, 0}},
      {"measure", [](Orvex& o) { o.SetMeasureDisplayMode(dmHidden); }, {1, 1, 1, 1, 0, 0, 0}},
      {"axes leave the measure", [](Orvex& o) { o.SetAxesDisplayMode(dmHidden); }, {1, 1, 1, 0, 1, 0, 0}},
      {"ranges", [](Orvex& o) { o.SetRangesDisplayMode(dmHidden); }, {0, 0, 0, 0, 0, 1, 0}},
      {"saved views", [](Orvex& o) { o.SetSavedViewsDisplayMode(dmHidden); }, {0, 0, 0, 0, 0, 0, 1}},
      {"2 hides only its own section", [](Orvex& o) { o.SetMeasureDisplayMode(2); }, {0, 0, 0, 2, 0, 0, 0}},
      {"showing again undoes no cascade",
       [](Orvex& o) {
         o.SetCubeDisplayMode(dmHidden);
         o.SetCubeDisplayMode(dmEdit);
       },
       {1, 1, 0, 0, 0, 0, 0}},
      {"data source can be shown again by itself",
       [](Orvex& o) {
         o.SetCubeDisplayMode(dmHidden);
         o.SetDataSourceDisplayMode(dmEdit);
       },
       {0, 1, 1, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Orvex orvex;
    c.set(orvex);
    EXPECT_EQ(ModesOf(orvex), c.modes);
  }
}

TEST(OrvexTest, DefaultDataSourceDropsOuterBlanks) {
  Orvex orvex;
  EXPECT_EQ(orvex.DefaultDataSource(), "");
  orvex.SetDefaultDataSource("  sales server  ");
  EXPECT_EQ(orvex.DefaultDataSource(), "sales server");
}

// An object that claims to be a request without being one.
class Impostor : public ComObject {
 public:
  explicit Impostor(std::string type_name) : type_name_(std::move(type_name)) {}
  std::string TypeName() const override { return type_name_; }

 private:
  std::string type_name_;
};

// A request whose type name is reported in another letter case.
class LowerCaseRequest : public asp::MemoryRequest {
 public:
  std::string TypeName() const override { return "irequest"; }
};

TEST(WriteInterfaceTest, RejectsWrongHostingObjectsBeforeWritingAnything) {
  const std::string request_type = "The 'Request' argument must be a reference to an ASP 'Request' object.";
  struct Case {
    std::string name;
    std::function<void(HostedRequest&, std::array<Variant, 4>&)> spoil;
    std::string message;
  };
  const Case cases[] = {
      {"request is a string", [](auto&, auto& args) { args[0] = "Request"; }, request_type},
      {"request is Nothing: its type name is checked first",
       [](auto&, auto& args) { args[0] = Variant::Nothing(); }, request_type},
      {"request is empty", [](auto&, auto& args) { args[0] = Variant(); }, request_type},
      {"request is the response", [](auto& h, auto& args) { args[0] = ObjectVariant(h.response); }, request_type},
      {"every object wrong: the first failure wins",
       [](auto&, auto& args) { args = {Variant(1), Variant(2), Variant(3), Variant(4)}; }, request_type},
      {"response is Nothing", [](auto&, auto& args) { args[1] = Variant::Nothing(); },
       "The 'Response' argument must be a reference to an ASP 'Response' object."},
      {"server is a number", [](auto&, auto& args) { args[2] = 3; },
       "The 'Server' argument must be a reference to an ASP 'Server' object."},
      {"application is the server", [](auto& h, auto& args) { args[3] = ObjectVariant(h.server); },
       "The 'Application' argument must be a reference to an ASP 'Application' object."},
      {"type tests come before the empty-reference tests",
       [](auto&, auto& args) {
         args[0] = ObjectVariant(std::make_shared<Impostor>("IRequest"));
         args[3] = "Application";
       },
       "The 'Application' argument must be a reference to an ASP 'Application' object."},
      {"an object that only claims to be a request",
       [](auto&, auto& args) { args[0] = ObjectVariant(std::make_shared<Impostor>("IRequest")); },
       "The 'Request' object cannot be Nothing."},
      {"an object that only claims to be an application",
       [](auto&, auto& args) { args[3] = ObjectVariant(std::make_shared<Impostor>("IAPPLICATIONOBJECT")); },
       "The 'Application' object cannot be Nothing."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEventLog log("validation");
    HostedRequest hosted("/explorer?id=7");
    std::array<Variant, 4> args = {ObjectVariant(hosted.request), ObjectVariant(hosted.response),
                                  ObjectVariant(hosted.server), ObjectVariant(hosted.application)};
    c.spoil(hosted, args);
    Orvex orvex;
    try {
      orvex.WriteInterface(args[0], args[1], args[2], args[3]);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_EQ(error.number(), 5);
      EXPECT_EQ(error.source(), "Halvern\r\nin Orvex.WriteInterface");
      EXPECT_EQ(error.description(), c.message);
    }
    EXPECT_EQ(hosted.response->Body(), "");
    std::string events = log.Text();
    EXPECT_NE(events.find("Description: " + c.message), std::string::npos) << events;
    EXPECT_NE(events.find("Source: Halvern\nin Orvex.WriteInterface\n"), std::string::npos) << events;
    EXPECT_EQ(events.find("About to write interface"), std::string::npos);
  }
}

TEST(WriteInterfaceTest, TypeNamesAreComparedWithoutRegardToCase) {
  HostedRequest hosted("/explorer?id=7");
  hosted.request = std::make_shared<LowerCaseRequest>();
  Orvex orvex;
  EXPECT_NE(hosted.Write(orvex).find("</html>"), std::string::npos);
}

// The page each selector value chooses, told apart by a line only that page writes.
std::string PageKind(const std::string& page) {
  if (page.find("<frameset rows='26, *, 0'") != std::string::npos) return "frameset";
  if (page.find("js/ParametersHeader.js") != std::string::npos) return "params header";
  if (page.find("js/ViewHeader.js") != std::string::npos) return "view header";
  if (page.find("class='heading0'>&nbsp;<b>") != std::string::npos) return "header";
  return "other";
}

TEST(WriteInterfaceTest, TheQueryStringIdAloneSelectsThePage) {
  const std::pair<std::string, std::string> cases[] = {
      {"/explorer", "frameset"},
      {"/explorer?id=4", "params header"},
      {"/explorer?ID=6", "view header"},
      {"/explorer?iD=7&cube=x", "header"},
      {"/explorer?id=0", "frameset"},
      {"/explorer?id=8", "frameset"},
      {"/explorer?id=", "frameset"},
      {"/explorer?id", "frameset"},
      {"/explorer?id=1&id=2", "frameset"},
      {"/explorer?id=4&id=4", "frameset"},
      {"/explorer?id=+5", "frameset"},
      {"/explorer?id=%37", "header"},
      {"/explorer?id=07", "frameset"},
      {"/explorer?id=1", "other"},
      {"/explorer?id=2", "other"},
      {"/explorer?id=3", "other"},
      {"/explorer?id=5", "other"},
  };
  for (const auto& [url, kind] : cases) {
    SCOPED_TRACE(url);
    EXPECT_EQ(PageKind(test::WritePage(url)), kind);
  }
}

TEST(WriteInterfaceTest, TheSelectorIsNotTakenFromTheForm) {
  HostedRequest hosted("/explorer");
  hosted.request->SetForm("id=7");
  Orvex orvex;
  EXPECT_EQ(PageKind(hosted.Write(orvex)), "frameset");
}

TEST(WriteInterfaceTest, LogsTheStartAndTheEndOfEachPage) {
  ScopedEventLog log("progress");
  test::WritePage("/explorer?id=7");
  std::string events = log.Text();
  size_t start = events.find("Information");
  ASSERT_NE(start, std::string::npos) << events;
  size_t about = events.find("About to write interface", start);
  ASSERT_NE(about, std::string::npos) << events;
  EXPECT_NE(events.find("Done", about), std::string::npos) << events;
}

// A request whose query string cannot be read.
class BrokenRequest : public asp::MemoryRequest {
 public:
  const asp::RequestCollection& QueryString() const override {
    throw ComError(errors::kInvalidProcedureCall, "Broken", "Bad <query> & more");
  }
};

TEST(WriteInterfaceTest, AnErrorAfterValidationIsShownOnThePageAndLogged) {
  ScopedEventLog log("main-handler");
  HostedRequest hosted("/explorer");
  hosted.request = std::make_shared<BrokenRequest>();
  Orvex orvex;
  // The description is written as HTML text: it may hold what a client sent.
  EXPECT_EQ(hosted.Write(orvex), "The following error has occurred: \nBad &lt;query&gt; &amp; more");
  std::string events = log.Text();
  EXPECT_NE(events.find("Source: Broken\nin Orvex.WriteInterface\n"), std::string::npos) << events;
  EXPECT_NE(events.find("About to write interface"), std::string::npos);
  EXPECT_EQ(events.find("Done"), std::string::npos);
}

// A response whose Write fails for every text holding `poison`.
class FailingResponse : public asp::MemoryResponse {
 public:
  explicit FailingResponse(std::string poison) : poison_(std::move(poison)) {}
  void Write(std::string_view text) override {
    if (text.find(poison_) != std::string_view::npos) {
      throw ComError(errors::kPermissionDenied, "Response", "Write failed");
    }
    MemoryResponse::Write(text);
  }

 private:
  std::string poison_;
};

TEST(PageWriterTest, AFailingLineIsLoggedAndTheRestOfThePageWritten) {
  ScopedEventLog log("resume");
  HostedRequest hosted("/explorer");
  hosted.response = std::make_shared<FailingResponse>("name='paramsBody'");
  Orvex orvex;
  const std::string page = hosted.Write(orvex);
  EXPECT_EQ(page.find("paramsBody"), std::string::npos);
  EXPECT_NE(page.find("name='paramsHeader'"), std::string::npos);
  EXPECT_TRUE(page.ends_with("    </frameset>\n</html>\n")) << page;
  std::string events = log.Text();
  EXPECT_NE(events.find("Source: Response\nin Orvex.WriteFrameset\n"), std::string::npos) << events;
  EXPECT_NE(events.find("Done"), std::string::npos);
}

TEST(PageWriterTest, AFailingBrowserCheckEndsTheCheckButNotThePage) {
  ScopedEventLog log("sniffer");
  HostedRequest hosted("/explorer?id=4");
  hosted.response = std::make_shared<FailingResponse>("new BrowserSniffer()");
  Orvex orvex;
  const std::string page = hosted.Write(orvex);
  // The check's lines up to the failing one, then the page from its head on.
  EXPECT_NE(page.find("    } else {\n<html>\n"), std::string::npos) << page;
  EXPECT_EQ(page.find("ie4up"), std::string::npos);
  EXPECT_TRUE(page.ends_with("</html>\n"));
  EXPECT_NE(log.Text().find("Source: Response\nin Orvex.WriteSniffer\nin Orvex.WriteParamsHeader\n"),
            std::string::npos)
      << log.Text();
}

}  // namespace
}  // namespace orvex::frontend
