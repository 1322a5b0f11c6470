// The service around the calls: routing, errors as JSON, the time of every answer.
#include "api/api_service.h"

#include <gtest/gtest.h>

#include "api_test_support.h"

namespace orvex::api {
namespace {

using testing::Call;

nlohmann::json Parse(const ApiResponse& response) {
  nlohmann::json answer = nlohmann::json::parse(response.body, nullptr, false);
  EXPECT_TRUE(answer.is_object()) << response.body;
  return answer;
}

TEST(ApiServiceTest, AnswersEveryOutcomeAsOneJsonObjectWithStatusAndTime) {
  struct Case {
    const char* name;
    std::string method;
    std::string call;
    std::map<std::string, std::string> params;
    int status;
    const char* error;  // a part of the message; nullptr for success
  };
  const Case cases[] = {
      {"success", "GET", "datasources", {}, 200, nullptr},
      {"head like get", "HEAD", "catalogs", {}, 200, nullptr},
      {"unknown call", "GET", "nothing", {}, 404, "/api/nothing"},
      {"empty call", "GET", "", {}, 404, "no call"},
      {"wrong method", "POST", "catalogs", {}, 405, "does not answer POST"},
      {"missing parameter", "GET", "cubes", {}, 400, "'catalog'"},
      {"engine's own message", "GET", "catalogs", {{"dataSource", "Elsewhere"}}, 400, "'Elsewhere' is not known"},
      {"name that would add items", "GET", "catalogs", {{"dataSource", "Tiny;Provider=x"}}, 400, "';'"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ApiResponse response = Call(test.method, test.call, test.params);
    EXPECT_EQ(response.status, test.status) << response.body;
    nlohmann::json answer = Parse(response);
    ASSERT_TRUE(answer.contains("millis"));
    EXPECT_TRUE(answer["millis"].is_number());
    EXPECT_GE(answer["millis"].get<double>(), 0);
    bool timed = false;
    for (const auto& [name, value] : response.headers) timed |= name == "Server-Timing" && value.rfind("api;dur=", 0) == 0;
    EXPECT_TRUE(timed);
    if (test.error) {
      EXPECT_EQ(answer["status"], test.status);
      EXPECT_NE(answer["error"].get<std::string>().find(test.error), std::string::npos) << answer["error"];
    } else {
      EXPECT_FALSE(answer.contains("error"));
    }
  }
}

TEST(ApiServiceTest, KeepsAnAnswersOwnMembersWhenAddingTheTime) {
  nlohmann::json answer = Parse(Call("GET", "datasources"));
  EXPECT_EQ(answer["dataSources"], nlohmann::json::array({"Tiny", "Odd", "Search"}));
  EXPECT_EQ(answer.size(), 2u);
}

TEST(ApiServiceTest, BodyObjectRefusesWhatIsNoJsonObject) {
  for (const char* body : {"", "{", "[1, 2]", "\"text\"", "{\"a\": }", "null"}) {
    SCOPED_TRACE(body);
    ApiRequest request{"POST", "query", {}, body};
    try {
      (void)BodyObject(request);
      ADD_FAILURE() << "accepted";
    } catch (const ApiError& error) {
      EXPECT_EQ(error.Status(), 400);
    }
  }
  ApiRequest good{"POST", "query", {}, R"({"mdx": "SELECT", "n": 1})"};
  nlohmann::json body = BodyObject(good);
  EXPECT_EQ(TextMember(body, "mdx"), "SELECT");
  EXPECT_EQ(TextMember(body, "absent"), "");
  EXPECT_THROW((void)TextMember(body, "n"), ApiError);
}

TEST(ApiServiceTest, JsonTextCarriesBytesThatAreNoUtf8AsReplacements) {
  EXPECT_EQ(JsonText({{"caption", std::string("a\xff" "b")}}), "{\"caption\":\"a\xEF\xBF\xBD" "b\"}");
}

}  // namespace
}  // namespace orvex::api
