#include "webfs/web_file_system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/runtime/runtime.h"
#include "platform/scripting_fakes.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using namespace orvex::test;
using Errors = WebFileSystem::Errors;

Variant FolderPath(std::initializer_list<std::string_view> names) {
  Variant::Array array;
  for (auto name : names) array.emplace_back(name);
  return Variant(std::move(array));
}

WebFileSystem StoreAt(const fs::path& root,
                      std::shared_ptr<scripting::DiskWriter> disk = scripting::DiskWriter::Posix()) {
  WebFileSystem store(std::move(disk));
  store.SetRootFolderPath(root.string());
  return store;
}

int32_t NumberOf(Errors value) { return WebFileSystem::ErrorNumber(value); }

// Runs `body` on a new thread whose locale is `locale`, as each request's
// thread is, so that the store's texts pick their language afresh.
void OnThreadWithLocale(int32_t locale, const std::function<void()>& body) {
  std::thread thread([&] {
    runtime::SetThreadLocale(locale);
    body();
  });
  thread.join();
}

TEST(WebFileSystemTest, ErrorNumbersAreTheComponentBasePlusTheValue) {
  EXPECT_EQ(NumberOf(Errors::ERR_INVALID_NAME), -2147219503);
  EXPECT_EQ(NumberOf(Errors::ERR_NAME_TOO_LONG), -2147219499);
}

TEST(WebFileSystemTest, IsValidNameAppliesEmptinessLengthAndCharacterRulesInThatOrder) {
  WebFileSystem store;
  struct Case {
    std::string name;
    int32_t number;  // 0: valid
  };
  std::vector<Case> cases = {
      {"", NumberOf(Errors::ERR_INVALID_NAME)},
      {"   ", 0},
      {std::string(50, 'a'), 0},
      {std::string(51, 'a'), NumberOf(Errors::ERR_NAME_TOO_LONG)},
      // Length counts characters, not bytes.
      {[] { std::string name; for (int i = 0; i < 50; ++i) name += "é"; return name; }(), 0},
      {[] { std::string name; for (int i = 0; i < 51; ++i) name += "é"; return name; }(),
       NumberOf(Errors::ERR_NAME_TOO_LONG)},
      {std::string(51, '.'), NumberOf(Errors::ERR_NAME_TOO_LONG)},
      {"Omzet 2024 · 売上", 0},
      {"tab\tname", NumberOf(Errors::ERR_INVALID_NAME)},
      {std::string("nul\0name", 8), NumberOf(Errors::ERR_INVALID_NAME)},
      {"\xff\xfe", NumberOf(Errors::ERR_INVALID_NAME)},
  };
  for (char forbidden : std::string_view("\\/:*?\"<>|.")) {
    cases.push_back({std::string("a") + forbidden + "b", NumberOf(Errors::ERR_INVALID_NAME)});
  }
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(ErrorOf([&] { EXPECT_TRUE(store.IsValidName(test.name)); }).number(), test.number);
  }
}

TEST(WebFileSystemTest, EachStoreErrorHasItsMessageInEnglishAndDutch) {
  TempDir root;
  fs::create_directories(root / "a" / "b" / "c");
  struct Case {
    Errors error;
    std::function<void(WebFileSystem&)> action;
    const char* english;
    const char* dutch;
  };
  const Case cases[] = {
      {Errors::ERR_INVALID_NAME, [](WebFileSystem& store) { store.IsValidName("a.b"); },
       "Invalid name.  File and folder names cannot be blank or contain the following characters: \\/:*?\"<>|.",
       "Ongeldige naam.  De namen van dit overzicht en van de map kunnen niet leeg zijn of de volgende karakters "
       "bevatten: \\/:*?\"<>|."},
      {Errors::ERR_FOLDER_TOO_DEEP, [](WebFileSystem& store) { store.AddFolder(FolderPath({"a", "b", "c"}), "d"); },
       "The folder cannot be added.  The parent folder is at the maximum folder depth.",
       "De map kan niet worden toegevoegd.  Het maximum aantal (sub)mappen is bereikt."},
      {Errors::ERR_TOO_MANY_FOLDERS,
       [](WebFileSystem& store) {
         store.SetMaxFoldersPerFolder(1);
         store.AddFolder(FolderPath({}), "z");
       },
       "The folder cannot be added.  The parent folder has reached its maximum folder capacity.",
       "De map kan niet worden toegevoegd.  Het maximum aantal (sub)mappen is bereikt."},
      {Errors::ERR_TOO_MANY_FILES,
       [](WebFileSystem& store) {
         store.SetMaxFilesPerFolder(0);
         store.SaveFile(FolderPath({}), "v", "x", false);
       },
       "The file cannot be saved.  The parent folder has reached its maximum file capacity.",
       "Het overzicht kan niet worden opgeslagen.  Het maximum aantal overzichten is bereikt."},
      {Errors::ERR_NAME_TOO_LONG,
       [](WebFileSystem& store) {
         store.SetMaxNameLength(7);
         store.IsValidName("12345678");
       },
       "The name is too long.  File and folder names may not exceed 7 characters in length.",
       "De naam is te lang.  De namen van een overzicht en van een map kunnen niet meer dan 7 karakters bevatten."},
  };
  for (int32_t locale : {runtime::kLocaleEnglishUs, runtime::kLocaleDutch}) {
    OnThreadWithLocale(locale, [&] {
      for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(locale) + ": " + std::to_string(static_cast<int32_t>(test.error)));
        auto store = StoreAt(root.path());
        auto error = ErrorOf([&] { test.action(store); });
        EXPECT_EQ(error.number(), NumberOf(test.error));
        EXPECT_EQ(error.description(), locale == runtime::kLocaleDutch ? test.dutch : test.english);
      }
    });
  }
  EXPECT_EQ(EntryCount(root.path()), 1);
}

TEST(WebFileSystemTest, ErrorsCarryTheTrailOfEveryProcedurePassed) {
  TempDir root;
  auto store = StoreAt(root.path());
  auto error = ErrorOf([&] { store.SaveFile(FolderPath({}), "a/b", "x", false); });
  EXPECT_EQ(error.source(),
            "Porlane\r\nin WebFileSystem.IsValidName\r\nin WebFileSystem.BuildFileName\r\nin WebFileSystem.SaveFile");
  error = ErrorOf([&] { store.GetFile(FolderPath({"missing"}), "v"); });
  EXPECT_EQ(error.number(), errors::kPathNotFound);
  EXPECT_EQ(error.description(), "Path not found");
  EXPECT_EQ(error.source(), "\r\nin WebFileSystem.GetFolder\r\nin WebFileSystem.GetFile");
}

TEST(WebFileSystemTest, GetFolderWalksTheNamesFromTheRoot) {
  TempDir root;
  fs::create_directories(root / "Sales" / "Europe");
  auto store = StoreAt(root.path());
  for (const auto& path : {FolderPath({}), Variant(), Variant("Sales/Europe")}) {
    SCOPED_TRACE(path.TypeName());
    EXPECT_EQ(store.GetFolder(path).Path(), root.path().string());
  }
  EXPECT_EQ(store.GetFolder(FolderPath({"sales", "EUROPE"})).Path(), (root / "Sales" / "Europe").string());
  EXPECT_EQ(store.GetFolder(WebFileSystem::SplitFolderPath("Sales/Europe")).Name(), "Europe");
  EXPECT_EQ(WebFileSystem::SplitFolderPath("").ToArray().size(), 0u);
  // An empty name is refused before anything below it is looked up.
  EXPECT_EQ(ErrorOf([&] { store.GetFolder(FolderPath({"", "missing"})); }).number(),
            NumberOf(Errors::ERR_INVALID_NAME));
  EXPECT_EQ(ErrorOf([&] { store.GetFolder(FolderPath({"Sales", "Asia"})); }).number(), errors::kPathNotFound);
  EXPECT_EQ(ErrorOf([&] { store.GetFolder(WebFileSystem::SplitFolderPath("Sales/")); }).number(),
            NumberOf(Errors::ERR_INVALID_NAME));
  EXPECT_EQ(ErrorOf([&] { store.GetFolder(FolderPath({".."})); }).number(), NumberOf(Errors::ERR_INVALID_NAME));
}

TEST(WebFileSystemTest, AddFolderKeepsToDepthCountAndNameRulesAndChangesNothingWhenRefused) {
  TempDir root;
  auto store = StoreAt(root.path());
  store.AddFolder(FolderPath({}), "a");
  store.AddFolder(FolderPath({"a"}), "b");
  store.AddFolder(FolderPath({"a", "b"}), "c");
  EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
  for (auto name : {"2", "3", "4", "5"}) store.AddFolder(FolderPath({"a"}), name);

  struct Case {
    const char* name;
    std::function<void()> action;
    int32_t number;
  };
  const Case cases[] = {
      {"fourth level", [&] { store.AddFolder(FolderPath({"a", "b", "c"}), "d"); },
       NumberOf(Errors::ERR_FOLDER_TOO_DEEP)},
      // Depth is checked first, even before the parent is looked up.
      {"too deep and missing", [&] { store.AddFolder(FolderPath({"x", "y", "z"}), "d"); },
       NumberOf(Errors::ERR_FOLDER_TOO_DEEP)},
      {"sixth subfolder", [&] { store.AddFolder(FolderPath({"a"}), "6"); }, NumberOf(Errors::ERR_TOO_MANY_FOLDERS)},
      {"sixth with a bad name", [&] { store.AddFolder(FolderPath({"a"}), "6.x"); },
       NumberOf(Errors::ERR_TOO_MANY_FOLDERS)},
      {"bad name", [&] { store.AddFolder(FolderPath({}), "x:y"); }, NumberOf(Errors::ERR_INVALID_NAME)},
      {"taken in another case", [&] { store.AddFolder(FolderPath({}), "A"); }, errors::kFileAlreadyExists},
      {"missing parent", [&] { store.AddFolder(FolderPath({"nope"}), "x"); }, errors::kPathNotFound},
      {"path not an array", [&] { store.AddFolder(Variant("a"), "x"); }, errors::kTypeMismatch},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(ErrorOf(test.action).number(), test.number);
  }
  EXPECT_EQ(EntryCount(root.path()), 1);
  EXPECT_EQ(EntryCount(root / "a"), 5);
  EXPECT_EQ(EntryCount(root / "a" / "b" / "c"), 0);
}

TEST(WebFileSystemTest, SaveFileOverwritesOnlyWhenAskedAndReadsBackUnchanged) {
  TempDir root;
  fs::create_directory(root / "Omzet");
  auto store = StoreAt(root.path());
  const std::string view = "<cubeView caption=\"Umsätze & 売上\"/>";

  store.SaveFile(FolderPath({"Omzet"}), "Überblick 2024", view, false);
  auto file = store.GetFile(FolderPath({"Omzet"}), "Überblick 2024");
  EXPECT_EQ(file.Name(), "Überblick 2024.xml");
  auto stream = file.OpenAsTextStream();
  EXPECT_EQ(stream.ReadAll(), view);

  auto error = ErrorOf([&] { store.SaveFile(FolderPath({"Omzet"}), "überblick 2024", "other", false); });
  EXPECT_EQ(error.number(), errors::kFileAlreadyExists);
  EXPECT_EQ(error.description(), "File already exists");
  EXPECT_EQ(ReadTextFile(root / "Omzet" / "Überblick 2024.xml"), view);

  store.SaveFile(FolderPath({"Omzet"}), "Überblick 2024", "replaced", true);
  EXPECT_EQ(ReadTextFile(root / "Omzet" / "Überblick 2024.xml"), "replaced");
  EXPECT_EQ(EntryCount(root / "Omzet"), 1);
}

TEST(WebFileSystemTest, AFullFolderTakesNoFileEvenToOverwrite) {
  TempDir root;
  for (auto name : {"1.xml", "2.xml", "3.xml", "4.txt"}) WriteTextFile(root / name, "x");
  fs::create_directory(root / "folders do not count");
  auto store = StoreAt(root.path());
  store.SaveFile(FolderPath({}), "5", "five", false);
  for (bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite);
    EXPECT_EQ(ErrorOf([&] { store.SaveFile(FolderPath({}), "1", "new", overwrite); }).number(),
              NumberOf(Errors::ERR_TOO_MANY_FILES));
  }
  EXPECT_EQ(ReadTextFile(root / "1.xml"), "x");
  store.SetMaxFilesPerFolder(6);
  store.SaveFile(FolderPath({}), "1", "new", true);
  EXPECT_EQ(ReadTextFile(root / "1.xml"), "new");
}

TEST(WebFileSystemTest, ASaveThatFailsHalfwayLeavesTheOldView) {
  TempDir root;
  WriteTextFile(root / "view.xml", "<cubeView/>");
  auto store = StoreAt(root.path(), std::make_shared<FailingDisk>(FailingDisk::Operation::kWrite,
                                                                   std::errc::no_space_on_device));
  auto error = ErrorOf([&] { store.SaveFile(FolderPath({}), "view", std::string(200000, 'v'), true); });
  EXPECT_EQ(error.number(), errors::kDiskFull);
  EXPECT_EQ(error.description(), "Disk full");
  EXPECT_EQ(ReadTextFile(root / "view.xml"), "<cubeView/>");
  EXPECT_EQ(EntryCount(root.path()), 1);
}

TEST(WebFileSystemTest, ConcurrentSavesOfOneNameLeaveOneWholeFileAndClearErrors) {
  TempDir root;
  constexpr int kWriters = 6;
  std::atomic<int> saved = 0;
  std::atomic<int> refused = 0;
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.emplace_back([&, writer] {
      auto store = StoreAt(root.path());
      auto error = ErrorOf([&] { store.SaveFile(FolderPath({}), "shared", std::string(300000, 'a' + writer), false); });
      if (error.number() == 0) {
        ++saved;
      } else if (error.number() == errors::kFileAlreadyExists) {
        ++refused;
      }
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(refused, kWriters - 1);
  auto content = ReadTextFile(root / "shared.xml");
  ASSERT_EQ(content.size(), 300000u);
  EXPECT_EQ(content, std::string(300000, content[0]));
  EXPECT_EQ(EntryCount(root.path()), 1);
}

TEST(WebFileSystemTest, DeletingTheRootIsRefusedAndOtherDeletesRemoveTheirTarget) {
  TempDir root;
  fs::create_directories(root / "a" / "b");
  WriteTextFile(root / "a" / "b" / "v.xml", "v");
  WriteTextFile(root / "top.xml", "t");
  auto store = StoreAt(root.path());
  for (const auto& path : {FolderPath({}), Variant()}) {
    SCOPED_TRACE(path.TypeName());
    EXPECT_EQ(ErrorOf([&] { store.DeleteFolder(path); }).number(), NumberOf(Errors::ERR_INVALID_NAME));
  }
  EXPECT_EQ(EntryCount(root.path()), 2);

  EXPECT_EQ(ErrorOf([&] { store.DeleteFile(FolderPath({}), "missing"); }).number(), errors::kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { store.DeleteFolder(FolderPath({"missing"})); }).number(), errors::kPathNotFound);
  store.DeleteFile(FolderPath({}), "TOP");
  store.DeleteFolder(FolderPath({"a"}));
  EXPECT_EQ(EntryCount(root.path()), 0);
}

TEST(WebFileSystemTest, NothingReachedThroughALinkOutOfTheRootIsServedOrChanged) {
  TempDir dir;
  fs::create_directories(dir / "root" / "inside");
  fs::create_directories(dir / "outside");
  WriteTextFile(dir / "outside" / "secret.xml", "secret");
  fs::create_directory_symlink(dir / "outside", dir / "root" / "out");
  fs::create_symlink(dir / "outside" / "secret.xml", dir / "root" / "leak.xml");
  fs::create_directory_symlink(dir / "root", dir / "root" / "inside" / "up");
  fs::create_directory_symlink(dir / "root" / "inside", dir / "root" / "alias");
  auto store = StoreAt(dir / "root");
  const auto invalid = NumberOf(Errors::ERR_INVALID_NAME);

  struct Case {
    const char* name;
    std::function<void()> action;
  };
  const Case cases[] = {
      {"folder out", [&] { store.GetFolder(FolderPath({"out"})); }},
      {"file out", [&] { store.GetFile(FolderPath({}), "leak"); }},
      {"file in folder out", [&] { store.GetFile(FolderPath({"out"}), "secret"); }},
      {"save out", [&] { store.SaveFile(FolderPath({"out"}), "new", "x", true); }},
      {"add out", [&] { store.AddFolder(FolderPath({"out"}), "new"); }},
      {"delete file out", [&] { store.DeleteFile(FolderPath({}), "leak"); }},
      {"delete folder out", [&] { store.DeleteFolder(FolderPath({"out"})); }},
      {"link to the root", [&] { store.DeleteFolder(FolderPath({"inside", "up"})); }},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(ErrorOf(test.action).number(), invalid);
  }
  EXPECT_EQ(ReadTextFile(dir / "outside" / "secret.xml"), "secret");
  EXPECT_EQ(EntryCount(dir / "outside"), 1);

  // A link that stays inside the root works, and deleting it leaves its target.
  store.SaveFile(FolderPath({"alias"}), "v", "view", false);
  EXPECT_EQ(ReadTextFile(dir / "root" / "inside" / "v.xml"), "view");
  store.DeleteFolder(FolderPath({"alias"}));
  EXPECT_EQ(ReadTextFile(dir / "root" / "inside" / "v.xml"), "view");
}

// The page that shows a view trims the names it is sent and the saved-views
// page does not: whatever blanks a name arrives with, it is one view.
TEST(WebFileSystemTest, NamesWithBlanksAreStoredOpenedAndDeletedUnderTheTrimmedName) {
  TempDir root;
  auto store = StoreAt(root.path());
  store.AddFolder(FolderPath({}), " Q1 ");
  store.SaveFile(FolderPath({"Q1  "}), "  Plan ", "plan", false);
  EXPECT_EQ(ReadTextFile(root / "Q1" / "Plan.xml"), "plan");
  EXPECT_EQ(store.BuildFileName(" Plan "), "Plan.xml");

  for (const auto& [folder, name] : std::vector<std::pair<std::string, std::string>>{
           {"Q1", "Plan"}, {" Q1 ", "  Plan "}, {"q1", "plan "}}) {
    SCOPED_TRACE("[" + folder + "] [" + name + "]");
    EXPECT_EQ(store.GetFile(FolderPath({folder}), name).Name(), "Plan.xml");
  }
  EXPECT_EQ(ErrorOf([&] { store.SaveFile(FolderPath({"Q1"}), "Plan ", "again", false); }).number(),
            errors::kFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { store.AddFolder(FolderPath({}), "Q1 "); }).number(), errors::kFileAlreadyExists);
  // A name of blanks alone is blank once trimmed.
  EXPECT_EQ(ErrorOf([&] { store.SaveFile(FolderPath({}), "   ", "x", false); }).number(),
            NumberOf(Errors::ERR_INVALID_NAME));
  EXPECT_EQ(ErrorOf([&] { store.AddFolder(FolderPath({}), "  "); }).number(), NumberOf(Errors::ERR_INVALID_NAME));
  store.DeleteFile(FolderPath({" Q1"}), " Plan");
  EXPECT_EQ(EntryCount(root / "Q1"), 0);
  store.DeleteFolder(FolderPath({"Q1 "}));
  EXPECT_EQ(EntryCount(root.path()), 0);
}

TEST(WebFileSystemTest, ViewsAndFoldersSavedWithBlanksBeforeTrimmingStillWork) {
  TempDir root;
  fs::create_directories(root / " Old " / " Inner");
  WriteTextFile(root / " Old " / "  Kept .xml", "kept");
  WriteTextFile(root / " Old " / "Kept .txt", "other extension");
  auto store = StoreAt(root.path());

  // As the saved-views page sends the names listed (untrimmed), and as the view page trims them.
  for (const auto& folder : {FolderPath({" Old "}), WebFileSystem::SplitFolderPath("Old")}) {
    auto stream = store.GetFile(folder, "  Kept ").OpenAsTextStream();
    EXPECT_EQ(stream.ReadAll(), "kept");
    EXPECT_EQ(store.GetFile(folder, "kept").Name(), "  Kept .xml");
  }
  EXPECT_EQ(store.GetFolder(FolderPath({"old", "inner"})).Name(), " Inner");

  EXPECT_EQ(ErrorOf([&] { store.SaveFile(FolderPath({"Old"}), "Kept", "new", false); }).number(),
            errors::kFileAlreadyExists);
  EXPECT_EQ(ErrorOf([&] { store.AddFolder(FolderPath({}), "Old"); }).number(), errors::kFileAlreadyExists);
  // Overwriting replaces the view under the name it has on disk: still one view.
  store.SaveFile(FolderPath({"Old"}), "Kept", "new", true);
  EXPECT_EQ(ReadTextFile(root / " Old " / "  Kept .xml"), "new");
  EXPECT_EQ(EntryCount(root / " Old "), 3);

  store.DeleteFile(FolderPath({"Old"}), "Kept");
  EXPECT_FALSE(fs::exists(root / " Old " / "  Kept .xml"));
  EXPECT_TRUE(fs::exists(root / " Old " / "Kept .txt"));
  store.DeleteFolder(FolderPath({"Old"}));
  EXPECT_EQ(EntryCount(root.path()), 0);
}

TEST(WebFileSystemTest, TemporaryFilesOfInterruptedSavesAreRemovedAndNothingElse) {
  TempDir dir;
  const fs::path root = dir / "root";
  fs::create_directories(root / "a" / "b");
  fs::create_directories(dir / "outside");
  const std::string abandoned = ".~pending-0123456789abcdef.tmp";
  WriteTextFile(root / abandoned, "cut short");
  WriteTextFile(root / "a" / "b" / abandoned, "cut short");
  // Names that only look like one, and files outside the root, stay.
  const std::vector<fs::path> kept = {root / ".~pending-notours.tmp", root / (abandoned + ".xml"),
                                      root / "a" / "view.xml", dir / "outside" / abandoned};
  for (const auto& path : kept) WriteTextFile(path, "keep");
  fs::create_directory_symlink(dir / "outside", root / "out");
  fs::create_symlink(dir / "outside" / abandoned, root / "a" / ".~pending-fedcba9876543210.tmp");

  // A save in progress, here in this process, holds its temporary file.
  auto store = StoreAt(root);
  scripting::FileSystemObject file_system;
  auto in_progress = file_system.CreateTextFile(root / "a" / "saving.xml", false);
  in_progress.Write("whole");

  EXPECT_EQ(store.RemoveInterruptedSaves(), 2);
  EXPECT_FALSE(fs::exists(root / abandoned));
  EXPECT_FALSE(fs::exists(root / "a" / "b" / abandoned));
  for (const auto& path : kept) EXPECT_EQ(ReadTextFile(path), "keep") << path;
  EXPECT_TRUE(fs::is_symlink(root / "a" / ".~pending-fedcba9876543210.tmp"));
  in_progress.Close();
  EXPECT_EQ(ReadTextFile(root / "a" / "saving.xml"), "whole");
  EXPECT_EQ(store.RemoveInterruptedSaves(), 0);

  store.SetRootFolderPath((dir / "missing").string());
  EXPECT_EQ(store.RemoveInterruptedSaves(), 0);
}

TEST(WebFileSystemTest, FileExtensionMustBeAValidNameAndNamesTheFiles) {
  WebFileSystem store;
  EXPECT_EQ(store.BuildFileName("Sales"), "Sales.xml");
  for (auto extension : {"", "x.y"}) {
    SCOPED_TRACE(extension);
    auto error = ErrorOf([&] { store.SetFileExtension(extension); });
    EXPECT_EQ(error.number(), NumberOf(Errors::ERR_INVALID_NAME));
    EXPECT_EQ(error.source(), "Porlane\r\nin WebFileSystem.IsValidName\r\nin WebFileSystem.FileExtension [PropertyLet]");
  }
  store.SetFileExtension("view");
  EXPECT_EQ(store.BuildFileName("Sales"), "Sales.view");
}

TEST(WebFileSystemTest, TheDefaultRootIsCreatedBesideTheModuleOnFirstUse) {
  WebFileSystem store;
  fs::path expected = runtime::ModuleFolder(reinterpret_cast<const void*>(&WebFileSystem::ErrorNumber)) / "Views";
  EXPECT_EQ(store.RootFolderPath(), expected.string());
  bool existed = fs::exists(expected);
  EXPECT_EQ(store.GetFolder(Variant()).Path(), expected.string());
  EXPECT_TRUE(fs::is_directory(expected));
  if (!existed) fs::remove(expected);

  store.SetRootFolderPath("/nonexistent/orvex/views");
  EXPECT_EQ(ErrorOf([&] { store.GetFolder(Variant()); }).number(), errors::kPathNotFound);
  store.SetRootFolderPath("");
  EXPECT_EQ(store.RootFolderPath(), expected.string());
}

}  // namespace
}  // namespace orvex
