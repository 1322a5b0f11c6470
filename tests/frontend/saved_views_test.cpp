#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "html/general.h"
#include "frontend/orvex.h"
#include "platform/runtime/runtime.h"
#include "platform/scripting_fakes.h"
#include "platform/text.h"
#include "support/hosting.h"

namespace orvex::frontend {
namespace {

namespace fs = std::filesystem;
using test::PageMatches;
using test::TempDir;
using test::WriteTextFile;

constexpr int32_t kEnglish = runtime::kLocaleEnglishUs;
constexpr int32_t kDutch = runtime::kLocaleDutch;

// One form field, encoded as a browser posts it.
std::string Field(std::string_view key, std::string_view value) {
  return std::string(key) + "=" + URLEncode(value);
}

// Posts to the saved-views frame of a store rooted at `root`, on a thread of
// its own whose locale is `locale`, and returns the page.
std::string Post(const fs::path& root, std::string_view query, std::string_view form = "",
                 int32_t locale = kEnglish) {
  std::string page;
  std::thread([&] {
    runtime::SetThreadLocale(locale);
    Orvex orvex;
    orvex.SavedViews().SetRootFolderPath(root.string());
    test::HostedRequest hosted("/explorer?id=3&" + std::string(query));
    hosted.request->SetForm(form);
    page = hosted.Write(orvex);
  }).join();
  return page;
}

// The generated populate() function, from its first line to its last.
std::string PopulateScript(const std::string& page) {
  size_t start = page.find("            function populate() {\n");
  size_t end = page.find("            populate();\n");
  if (start == std::string::npos || end == std::string::npos) return "(no populate script)";
  return page.substr(start, end - start);
}

// Every file and folder under `root` with the content of each file, to show that nothing changed.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    entries[fs::relative(entry.path(), root).string()] =
        entry.is_directory() ? "(folder)" : test::ReadTextFile(entry.path());
  }
  return entries;
}

const std::string kPopulateHead =
    "            function populate() {\n"
    "                var wndParams = parent.paramsBody;\n"
    "                if(wndParams == null) return;\n"
    "                if(wndParams.handleParamChanges == null) return;\n"
    "                wndParams.handleParamChanges = false;\n"
    "                var ofrmInterface = wndParams.document.forms['frmInterface'];\n"
    "                var olbxFolder = ofrmInterface.elements['lbxFolder'];\n"
    "                var olbxView = ofrmInterface.elements['lbxView'];\n"
    "                if(olbxFolder != null) {\n"
    "                    var arrOptions = olbxFolder.options;\n"
    "                    while(arrOptions.length > 0) arrOptions[arrOptions.length - 1] = null;\n"
    "                }\n"
    "                if(olbxView != null) {\n"
    "                    arrOptions = olbxView.options;\n"
    "                    while(arrOptions.length > 0) arrOptions[arrOptions.length - 1] = null;\n"
    "                }\n"
    "                if(olbxFolder != null) {\n";

const std::string kInvalidNameAlert =
    "Invalid name.  File and folder names cannot be blank or contain the following characters: \\\\/:*?\\\"\\x3C>|.";

TEST(SavedViewsPageTest, ListsTheFoldersOnThePostedPathAndTheViewsOfTheOpenFolder) {
  TempDir root;
  for (const char* folder : {"a/b/x", "a/c", "Later"}) fs::create_directories(root / folder);
  WriteTextFile(root / "a/b/Pears.XML", "<cubeView/>");
  WriteTextFile(root / "a/b/apples.xml", "<cubeView/>");
  WriteTextFile(root / "a/b/notes.txt", "not a view");
  WriteTextFile(root / "a/c/elsewhere.xml", "<cubeView/>");
  EXPECT_TRUE(PageMatches(test::ExpectedPage("tests/frontend/pages/saved_views_tree.txt"),
                          Post(root.path(), "folder=a/b&view=Pears")));
}

TEST(SavedViewsPageTest, AMissingFolderListsOnlyTheRootInEitherLanguage) {
  TempDir root;
  fs::create_directories(root / "a");
  for (auto [locale, root_text] : {std::pair{kEnglish, "Root"}, std::pair{kDutch, "Start map"}}) {
    SCOPED_TRACE(root_text);
    EXPECT_EQ(PopulateScript(Post(root.path(), "folder=a/gone&view=v", "", locale)),
              kPopulateHead + "                    var objOption = createOption(wndParams.document, \"" + root_text +
                  "\", '');\n"
                  "                    olbxFolder.options[0] = objOption;\n"
                  "                }\n"
                  "                wndParams.handleParamChanges = true;\n"
                  "            }\n");
  }
}

TEST(SavedViewsPageTest, NamesAreEscapedForTheScriptTheyStandIn) {
  TempDir root;
  // Only made by hand on the disk: the store itself refuses these characters.
  fs::create_directories(root / "say \"hi\" \\ o'k");
  WriteTextFile(root / "it's \"x\" \\ y.xml", "<cubeView/>");
  std::string page = Post(root.path(), Field("view", "a\"b</script>"));
  EXPECT_NE(page.find("                objOption = createOption(wndParams.document, \"  > say \\\"hi\\\" \\\\ o\\'k\", "
                      "\"say \\\"hi\\\" \\\\ o\\'k\");\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("                    objOption = createOption(wndParams.document, \"it\\'s \\\"x\\\" \\\\ y\", "
                      "\"it\\'s \\\"x\\\" \\\\ y\");\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("                wndParams.selectValue(olbxView, \"a\\\"b\\x3C/script>\", true);\n"), std::string::npos)
      << page;

  // A posted path the store refuses lists the root alone and says why; nothing is selected.
  EXPECT_EQ(PopulateScript(Post(root.path(), Field("folder", "say \"hi\" \\ o'k"))),
            kPopulateHead +
                "                    var objOption = createOption(wndParams.document, \"Root\", '');\n"
                "                    olbxFolder.options[0] = objOption;\n"
                "                    wndParams.refreshListBoxes();\n"
                "                    olbxFolder.selectedIndex = -1;\n"
                "                    alert(\"" + kInvalidNameAlert + "\");\n"
                "                }\n"
                "                wndParams.handleParamChanges = true;\n"
                "            }\n");
}

TEST(SavedViewsActionTest, OpenViewPostsTheSavedTextToTheViewBodyUnchanged) {
  TempDir root;
  fs::create_directories(root / "Team");
  const std::string xml = "<cubeView caption=\"Tom & Jerry's\">\n  <measure>[Measures].[Omzet €]</measure>\n</cubeView>";
  WriteTextFile(root / "Team/Q1.xml", xml);
  std::string page = Post(root.path(), "actionID=open_view&folder=Team&view=Q1");
  const std::string open =
      "        <form name='frmViewAction' action=\"/explorer?id=1\" target='viewBody' method='post'>\n"
      "            <input type='hidden' name='xml' value=\"&lt;cubeView caption=&quot;Tom &amp; Jerry's&quot;&gt;\n"
      "  &lt;measure&gt;[Measures].[Omzet €]&lt;/measure&gt;\n"
      "&lt;/cubeView&gt;\"></input>\n"
      "        </form>\n"
      "        <script language='JavaScript'>\n"
      "            parent.defaultStatus = 'Loading...';\n"
      "            document.forms['frmViewAction'].submit();\n"
      "        </script>\n"
      "        <script language='JavaScript'>\n"
      "            function populate() {\n";
  EXPECT_NE(page.find("<script language='JavaScript' src='js/SavedViews.js'></script>\n" + open), std::string::npos)
      << page;
  EXPECT_EQ(page.find("alert("), std::string::npos);
}

TEST(SavedViewsActionTest, SaveAddAndDeleteChangeTheStoreAndTheLists) {
  TempDir root;
  const std::string name = "Omzet € 2024 · 売上";
  const std::string xml = "<cubeView caption=\"Ünïcode & ‘quotes’\"/>";

  // The action's letter case does not matter.
  std::string page = Post(root.path(), "actionID=ADD_FOLDER&folder=", Field("new_name", "Team"));
  EXPECT_TRUE(fs::is_directory(root / "Team"));
  EXPECT_NE(page.find("createOption(wndParams.document, \"  > Team\", \"Team\");"), std::string::npos) << page;

  page = Post(root.path(), "actionID=save_view", Field("folder", "Team") + "&" + Field("new_name", name) + "&" +
                                                     Field("view_xml", xml));
  EXPECT_EQ(test::ReadTextFile(root / "Team" / (name + ".xml")), xml);
  EXPECT_NE(page.find("createOption(wndParams.document, \"" + name + "\", \"" + name + "\");"), std::string::npos)
      << page;
  EXPECT_EQ(page.find("alert("), std::string::npos) << page;

  page = Post(root.path(), "actionID=delete_view&folder=Team", Field("view", name));
  EXPECT_FALSE(fs::exists(root / "Team" / (name + ".xml")));
  EXPECT_TRUE(fs::is_directory(root / "Team"));

  page = Post(root.path(), "actionID=delete_folder&folder=Team");
  EXPECT_FALSE(fs::exists(root / "Team"));
  EXPECT_EQ(page.find("alert("), std::string::npos) << page;
}

TEST(SavedViewsActionTest, DeletingWhatIsAlreadyGoneIsNotAnError) {
  TempDir root;
  fs::create_directories(root / "Team");
  for (const char* query : {"actionID=delete_view&folder=Team&view=gone", "actionID=delete_view&folder=Gone&view=v",
                            "actionID=delete_folder&folder=Team/gone"}) {
    SCOPED_TRACE(query);
    std::string page = Post(root.path(), query);
    EXPECT_EQ(page.find("alert("), std::string::npos) << page;
    EXPECT_NE(page.find("            populate();\n"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_directory(root / "Team"));
}

TEST(SavedViewsActionTest, EveryRefusalIsAlertedAndLeavesTheDiskAsItWas) {
  struct Case {
    std::string title;
    std::function<void(const fs::path&)> setup;
    std::string query;
    std::string form;
    std::string alert;  // as it stands in the script
    int32_t locale = kEnglish;
  };
  auto folders = [](std::vector<std::string> paths) {
    return [paths](const fs::path& root) {
      for (const std::string& path : paths) fs::create_directories(root / path);
    };
  };
  auto views = [](int count) {
    return [count](const fs::path& root) {
      for (int view = 1; view <= count; ++view) WriteTextFile(root / ("v" + std::to_string(view) + ".xml"), "old");
    };
  };
  const std::string name_too_long =
      "The name is too long.  File and folder names may not exceed 50 characters in length.";
  const Case cases[] = {
      {"folder too deep", folders({"a/b/c"}), "actionID=add_folder&folder=a/b/c", "new_name=d",
       "The folder cannot be added.  The parent folder is at the maximum folder depth."},
      {"sixth folder", folders({"f1", "f2", "f3", "f4", "f5"}), "actionID=add_folder&folder=", "new_name=f6",
       "The folder cannot be added.  The parent folder has reached its maximum folder capacity."},
      {"sixth view", views(5), "actionID=save_view&folder=", "new_name=v6&view_xml=new",
       "The file cannot be saved.  The parent folder has reached its maximum file capacity."},
      {"sixth view, Dutch", views(5), "actionID=save_view&folder=", "new_name=v6&view_xml=new",
       "Het overzicht kan niet worden opgeslagen.  Het maximum aantal overzichten is bereikt.", kDutch},
      {"name too long", folders({}), "actionID=add_folder", "new_name=" + std::string(51, 'n'), name_too_long},
      {"full stop in a name", views(1), "actionID=save_view", "new_name=v1.xml&view_xml=new", kInvalidNameAlert},
      {"empty name", folders({}), "actionID=add_folder", "new_name=", kInvalidNameAlert},
      {"new name from the query string only", folders({}), "actionID=add_folder&new_name=Team", "",
       kInvalidNameAlert},
      {"existing view", views(1), "actionID=save_view", "new_name=v1&view_xml=new", "File already exists"},
      {"existing folder in another case", folders({"Team"}), "actionID=add_folder", "new_name=TEAM",
       "File already exists"},
      {"missing view", views(1), "actionID=open_view&view=v2", "", "File not found"},
      {"missing parent folder", folders({"a"}), "actionID=add_folder&folder=a/gone", "new_name=b", "Path not found"},
      {"the root itself", folders({"a"}), "actionID=delete_folder&folder=", "", kInvalidNameAlert},
      {"a path out of the root", folders({"a"}), "actionID=delete_folder&folder=a/..", "", kInvalidNameAlert},
      {"a view name out of the root", views(1), "actionID=delete_view", "view=../v1", kInvalidNameAlert},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TempDir parent;
    fs::path root = parent / "Views";
    fs::create_directories(root);
    WriteTextFile(parent / "outside.xml", "keep");
    c.setup(root);
    auto before = Snapshot(parent.path());
    std::string page = Post(root, c.query, c.form, c.locale);
    const std::string alert = "        <script language='JavaScript'>\n"
                              "            alert(\"" + c.alert + "\");\n"
                              "        </script>\n"
                              "        <script language='JavaScript'>\n"
                              "            function populate() {\n";
    EXPECT_NE(page.find(alert), std::string::npos) << page;
    EXPECT_EQ(Snapshot(parent.path()), before);
  }
}

TEST(SavedViewsActionTest, ViewsOfOtherExtensionsAreNotListedWhateverTheCaseOfTheirOwn) {
  TempDir root;
  for (const char* file : {"a.XML", "b.xml", "c.txt", "d.xml.bak", "e"}) WriteTextFile(root / file, "<cubeView/>");
  std::string script = PopulateScript(Post(root.path(), ""));
  for (const char* listed : {"\"a\", \"a\"", "\"b\", \"b\""}) {
    EXPECT_NE(script.find(listed), std::string::npos) << listed;
  }
  for (const char* unlisted : {"\"c\"", "\"d.xml\"", "\"e\""}) {
    EXPECT_EQ(script.find(unlisted), std::string::npos) << unlisted;
  }
}

}  // namespace
}  // namespace orvex::frontend
