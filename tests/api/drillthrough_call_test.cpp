// POST /api/drillthrough over the Tiny catalog: pages that fit together,
// the CSV file, and every failure answered as JSON with its status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "api/api_service.h"
#include "tiny_engine.h"

namespace orvex::api {
namespace {

ApiResponse Call(const nlohmann::json& body, const std::string& format = "") {
  orvex::testing::ServeTestCatalogs();
  static const ApiService service(ApiOptions{"Tiny", {"Tiny"}, {}});
  ApiRequest request{"POST", "drillthrough", {}, body.is_string() ? body.get<std::string>() : body.dump()};
  if (!format.empty()) request.params["format"] = format;
  return service.Handle(request);
}

// Oregon's four sales of 1997 (the default year), month and units.
const char* kOregon =
    "DRILLTHROUGH SELECT FROM Sales WHERE [Store].[USA].[OR] RETURN [Time].[Month], [Measures].[Unit Sales]";

TEST(DrillthroughCallTest, PagesFitTogetherIntoTheWholeAnswer) {
  ApiResponse whole = Call({{"catalog", "Tiny"}, {"mdx", kOregon}});
  ASSERT_EQ(whole.status, 200) << whole.body;
  nlohmann::json all = nlohmann::json::parse(whole.body);
  EXPECT_EQ(all["columns"], nlohmann::json({"[Time].[Month]", "[Measures].[Unit Sales]"}));
  EXPECT_EQ(all["rows"], nlohmann::json::parse("[[2, 2], [5, 3], [8, 2], [12, 4]]"));
  EXPECT_EQ(all["total"], 4);
  EXPECT_TRUE(all.contains("millis"));

  nlohmann::json joined = nlohmann::json::array();
  for (int offset = 0; offset < 6; offset += 3) {
    ApiResponse page = Call({{"mdx", kOregon}, {"offset", offset}, {"limit", 3}});
    ASSERT_EQ(page.status, 200) << page.body;
    nlohmann::json answer = nlohmann::json::parse(page.body);
    EXPECT_EQ(answer["offset"], offset);
    EXPECT_EQ(answer["total"], 4);
    for (const auto& row : answer["rows"]) joined.push_back(row);
  }
  EXPECT_EQ(joined, all["rows"]);
  nlohmann::json past = nlohmann::json::parse(Call({{"mdx", kOregon}, {"offset", 40}}).body);
  EXPECT_EQ(past["rows"], nlohmann::json::array());
  EXPECT_EQ(past["offset"], 4);
}

TEST(DrillthroughCallTest, CsvIsUtf8WithAByteOrderMarkAndKeepsCaptionsIntact) {
  ApiResponse file = Call({{"mdx",
                            "DRILLTHROUGH SELECT FROM Sales WHERE ([Time].[1997].[Q1].[2], [Store].[USA].[CA]) "
                            "RETURN [Product].[Product Name], [Measures].[Store Sales]"}},
                          "csv");
  ASSERT_EQ(file.status, 200) << file.body;
  EXPECT_EQ(file.content_type, "text/csv; charset=utf-8");
  EXPECT_EQ(file.body,
            "\xEF\xBB\xBF[Product].[Product Name],[Measures].[Store Sales]\r\n"
            "\"Bob's \"\"Best\"\" [Big] Cola\",8\r\n");
}

TEST(DrillthroughCallTest, FailuresAnswerAsJsonWithTheirStatus) {
  const struct {
    nlohmann::json body;
    std::string format;
    int status;
    std::string error;
  } cases[] = {
      {"not json", "", 400, "no JSON object"},
      {nlohmann::json::object(), "", 400, "needs 'mdx'"},
      {{{"mdx", 5}}, "", 400, "'mdx' must be a text"},
      {{{"mdx", kOregon}, {"limit", 0}}, "", 400, "'limit' must be a whole number of at least 1"},
      {{{"mdx", kOregon}, {"offset", -1}}, "", 400, "'offset' must be a whole number of at least 0"},
      {{{"mdx", kOregon}, {"offset", "2"}}, "", 400, "'offset' must be a whole number"},
      {{{"mdx", kOregon}, {"limit", 100001}}, "", 400, "at most 100000"},
      {{{"mdx", kOregon}}, "xml", 400, "'format' must be json or csv"},
      {{{"mdx", "SELECT FROM Sales"}}, "", 400, "needs a DRILLTHROUGH statement"},
      {{{"mdx", "DRILLTHROUGH SELECT {[Store].[USA].Children} ON 0 FROM Sales"}}, "csv", 400, "axis 0 has 3 positions"},
      {{{"mdx", kOregon}, {"dataSource", "Elsewhere"}}, "", 400, "Elsewhere"},
      {{{"mdx", kOregon}, {"catalog", "a;b=c"}}, "", 400, "holds ';'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body.dump());
    ApiResponse response = Call(c.body, c.format);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.content_type, "application/json; charset=utf-8");
    nlohmann::json answer = nlohmann::json::parse(response.body, nullptr, false);
    ASSERT_TRUE(answer.is_object()) << response.body;
    EXPECT_EQ(answer["status"], c.status);
    EXPECT_NE(answer["error"].get<std::string>().find(c.error), std::string::npos) << answer["error"];
  }
}

}  // namespace
}  // namespace orvex::api
