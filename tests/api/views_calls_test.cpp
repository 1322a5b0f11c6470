#include <gtest/gtest.h>

#include <filesystem>

#include "api/api_service.h"
#include "temp_dir.h"
#include "text_file.h"
#include "webfs/web_file_system.h"

// The saved-views calls over a store of their own, with the classic pane's rules.
namespace orvex::api {
namespace {

const char kView[] =
    "<cubeView><dataSource provider=\"MSOLAP\">localhost</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
    "<measure>Unit Sales</measure><ranges/><axes/><filters><hierarchy dimensionName=\"Store\" hierarchyName=\"\">"
    "<m>[Store].[USA].[CA]</m></hierarchy></filters><!-- é 日本 </script> --></cubeView>";

// A store in `root` taking two files and two folders per folder.
ApiService Service(const std::filesystem::path& root) {
  ApiOptions options;
  options.configure_views = [root](WebFileSystem& store) {
    store.SetRootFolderPath(root.string());
    store.SetMaxFilesPerFolder(2);
    store.SetMaxFoldersPerFolder(2);
  };
  return ApiService(options);
}

struct Answer {
  int status;
  nlohmann::json body;
};

Answer Call(const ApiService& service, const std::string& method, const std::string& call,
            std::map<std::string, std::string> params, const nlohmann::json& body = nullptr) {
  ApiResponse response = service.Handle(ApiRequest{method, call, std::move(params), body.is_null() ? "" : body.dump()});
  return {response.status, nlohmann::json::parse(response.body)};
}

TEST(ViewsCallsTest, SaveListOpenAndDeleteRoundTrip) {
  testing::TempDir root;
  ApiService service = Service(root.path());
  EXPECT_EQ(Call(service, "POST", "folder", {}, {{"folder", ""}, {"name", "Sales"}}).status, 200);
  Answer saved = Call(service, "POST", "view", {}, {{"folder", "Sales"}, {"name", " Q4 review "}, {"xml", kView}});
  EXPECT_EQ(saved.status, 200) << saved.body;
  EXPECT_EQ(saved.body["name"], "Q4 review");
  // Files of another kind are no views; names sort without regard to case.
  testing::WriteTextFile(root.path() / "Sales" / "notes.txt", "x");
  EXPECT_EQ(Call(service, "POST", "view", {}, {{"folder", "Sales"}, {"name", "a first"}, {"xml", kView}}).status, 200);

  Answer listed = Call(service, "GET", "views", {{"folder", "Sales"}});
  EXPECT_EQ(listed.body["views"], (nlohmann::json{"a first", "Q4 review"}));
  EXPECT_EQ(listed.body["folders"], nlohmann::json::array());
  EXPECT_EQ(listed.body["limits"]["maxFilesPerFolder"], 2);
  EXPECT_EQ(Call(service, "GET", "views", {}).body["folders"], nlohmann::json{"Sales"});

  Answer opened = Call(service, "GET", "view", {{"folder", "Sales"}, {"name", "q4 REVIEW"}});
  EXPECT_EQ(opened.body["xml"], kView);
  // What was saved is the text itself, as the classic pane reads it.
  EXPECT_EQ(testing::ReadTextFile(root.path() / "Sales" / "Q4 review.xml"), kView);

  // A save over an existing view needs "overwrite"; the folder's limit counts every readable file.
  EXPECT_EQ(Call(service, "POST", "view", {}, {{"folder", "Sales"}, {"name", "Q4 review"}, {"xml", kView}}).status, 409);
  EXPECT_EQ(Call(service, "POST", "view", {}, {{"folder", "Sales"}, {"name", "Q4 review"}, {"xml", kView},
                                                {"overwrite", true}})
                .status,
            400);  // notes.txt fills the folder's two files
  std::filesystem::remove(root.path() / "Sales" / "notes.txt");
  std::string changed = std::string(kView).replace(std::string(kView).find("Unit Sales"), 10, "Store Sales");
  EXPECT_EQ(Call(service, "POST", "view", {}, {{"folder", "Sales"}, {"name", "Q4 review"}, {"xml", changed},
                                                {"overwrite", true}})
                .status,
            200);
  EXPECT_EQ(Call(service, "GET", "view", {{"folder", "Sales"}, {"name", "Q4 review"}}).body["xml"], changed);

  EXPECT_EQ(Call(service, "POST", "view/delete", {}, {{"folder", "Sales"}, {"name", "Q4 review"}}).status, 200);
  EXPECT_EQ(Call(service, "GET", "views", {{"folder", "Sales"}}).body["views"], nlohmann::json{"a first"});
  EXPECT_EQ(Call(service, "POST", "view/delete", {}, {{"folder", "Sales"}, {"name", "Q4 review"}}).status, 404);
  EXPECT_EQ(Call(service, "POST", "folder/delete", {}, {{"folder", "Sales"}}).status, 200);
  EXPECT_EQ(Call(service, "GET", "views", {}).body["folders"], nlohmann::json::array());
}

// Each refusal is the store's own, with its message, and leaves nothing behind.
TEST(ViewsCallsTest, TheStoresRulesAndHostileNames) {
  testing::TempDir root;
  ApiService service = Service(root.path());
  WebFileSystem store;
  store.SetRootFolderPath(root.path().string());
  auto store_message = [&](auto action) {
    try {
      action();
    } catch (const ComError& error) {
      return error.description();
    }
    return std::string("no error");
  };
  struct Case {
    std::string what;
    std::string method;
    std::string call;
    std::map<std::string, std::string> params;
    nlohmann::json body;
    int status;
    std::string message;  // "" for the store's message on an invalid name
  };
  const std::string invalid = store_message([&] { store.IsValidName("a/b"); });
  const std::string too_long = store_message([&] { store.IsValidName(std::string(51, 'x')); });
  const Case cases[] = {
      {"a path in the name", "POST", "view", {}, {{"name", "../escape"}, {"xml", kView}}, 400, invalid},
      {"a slash in the name", "POST", "view", {}, {{"name", "a/b"}, {"xml", kView}}, 400, invalid},
      {"markup in the name", "POST", "view", {}, {{"name", "<script>x"}, {"xml", kView}}, 400, invalid},
      {"a long name", "POST", "view", {}, {{"name", std::string(51, 'x')}, {"xml", kView}}, 400, too_long},
      {"no name", "POST", "view", {}, {{"name", "  "}, {"xml", kView}}, 400, "the body needs 'name'"},
      {"a folder up", "POST", "view", {}, {{"folder", ".."}, {"name", "x"}, {"xml", kView}}, 400, invalid},
      {"a missing folder", "POST", "view", {}, {{"folder", "Nowhere"}, {"name", "x"}, {"xml", kView}}, 404, ""},
      {"no view definition", "POST", "view", {}, {{"name", "x"}, {"xml", "<html/>"}}, 400, "no view definition"},
      {"text as overwrite", "POST", "view", {}, {{"name", "x"}, {"xml", kView}, {"overwrite", "yes"}}, 400,
       "'overwrite' must be true or false"},
      {"opening a missing view", "GET", "view", {{"name", "absent"}}, nullptr, 404, ""},
      {"opening without a name", "GET", "view", {}, nullptr, 400, "the call needs the parameter 'name'"},
      {"listing a path up", "GET", "views", {{"folder", "../.."}}, nullptr, 400, invalid},
      {"deleting the root", "POST", "folder/delete", {}, {{"folder", " "}}, 400, "the body needs 'folder'"},
      {"a folder too many", "POST", "folder", {}, {{"name", "third"}}, 400, ""},
  };
  EXPECT_EQ(Call(service, "POST", "folder", {}, {{"name", "one"}}).status, 200);
  EXPECT_EQ(Call(service, "POST", "folder", {}, {{"name", "two"}}).status, 200);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Answer answer = Call(service, c.method, c.call, c.params, c.body);
    EXPECT_EQ(answer.status, c.status) << answer.body;
    if (!c.message.empty()) EXPECT_EQ(answer.body["error"], c.message);
    EXPECT_FALSE(answer.body["error"].get<std::string>().empty());
  }
  // Nothing was written anywhere: the root holds the two folders only, and nothing escaped it.
  size_t entries = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path())) {
    EXPECT_TRUE(entry.is_directory()) << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 2u);
  EXPECT_FALSE(std::filesystem::exists(root.path().parent_path() / "escape.xml"));
}

}  // namespace
}  // namespace orvex::api
