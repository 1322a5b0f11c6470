#include "platform/scripting/folder.h"

#include <gtest/gtest.h>

#include "platform/scripting/file_system_object.h"
#include "platform/scripting/text_stream.h"
#include "platform/scripting_fakes.h"

namespace orvex::scripting {
namespace {

namespace fs = std::filesystem;
using namespace orvex::test;

template <class Item>
std::vector<std::string> Names(const std::vector<Item>& items) {
  std::vector<std::string> names;
  for (const auto& item : items) names.push_back(item.Name());
  return names;
}

// Names compare in upper case, so "_" sorts after the letters, and letters
// beyond ASCII fold too.
TEST(FolderTest, ListsInNameOrderWithoutRegardToCase) {
  TempDir dir;
  for (auto name : {"b.xml", "Äpfel.xml", "C.xml", "a_b.xml", "A.xml", "ab.xml", "a.txt"}) {
    WriteTextFile(dir / name, "x");
  }
  for (auto name : {"gamma", "Alpha", "beta"}) fs::create_directory(dir / name);
  WriteTextFile(dir / ".~pending-0123456789abcdef.tmp", "half a view");
  fs::create_symlink(dir / "missing", dir / "dangling.xml");
  fs::create_symlink(dir / "beta", dir / "Delta");

  auto folder = FileSystemObject().GetFolder(dir.path());
  EXPECT_EQ(Names(folder.Files()),
            (std::vector<std::string>{"a.txt", "A.xml", "ab.xml", "a_b.xml", "b.xml", "C.xml", "Äpfel.xml"}));
  EXPECT_EQ(Names(folder.SubFolders()), (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma"}));
  EXPECT_EQ(folder.SubFolders()[0].ParentFolder()->Path(), folder.Path());
}

TEST(FolderTest, LooksUpNamesWithoutRegardToCaseExactMatchFirst) {
  TempDir dir;
  fs::create_directory(dir / "Sales");
  fs::create_directory(dir / "sales");
  fs::create_directory(dir / "Europe");
  fs::create_directory(dir / "Überblick");
  WriteTextFile(dir / "Report.XML", "r");
  auto folder = FileSystemObject().GetFolder(dir.path());

  EXPECT_EQ(folder.SubFolder("sales").Name(), "sales");
  EXPECT_EQ(folder.SubFolder("SALES").Name(), "Sales");
  EXPECT_EQ(folder.SubFolder("EUROPE").Name(), "Europe");
  EXPECT_EQ(folder.SubFolder("überBLICK").Name(), "Überblick");
  EXPECT_EQ(folder.FileNamed("report.xml").Name(), "Report.XML");
  // A file is not a folder, and names that are not one entry of this folder find nothing.
  for (const std::string& name : std::vector<std::string>{"Report.XML", "", ".", "..", "Sales/../Europe", std::string("Sales\0x", 7)}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ErrorOf([&] { folder.SubFolder(name); }).number(), errors::kPathNotFound);
  }
  EXPECT_EQ(ErrorOf([&] { folder.FileNamed("Europe"); }).number(), errors::kFileNotFound);
}

TEST(FolderTest, AddSubFolderRefusesANameTakenInAnyCase) {
  TempDir dir;
  fs::create_directory(dir / "Alpha");
  WriteTextFile(dir / "notes", "n");
  auto folder = FileSystemObject().GetFolder(dir.path());

  for (auto name : {"alpha", "ALPHA", "Notes"}) {
    SCOPED_TRACE(name);
    auto error = ErrorOf([&] { folder.AddSubFolder(name); });
    EXPECT_EQ(error.number(), errors::kFileAlreadyExists);
    EXPECT_EQ(error.description(), "File already exists");
  }
  EXPECT_EQ(folder.AddSubFolder("Überblick").Path(), (dir / "Überblick").string());
  EXPECT_TRUE(fs::is_directory(dir / "Überblick"));
  EXPECT_EQ(ErrorOf([&] { folder.AddSubFolder("../escape"); }).number(), errors::kInvalidProcedureCall);

  fs::remove_all(dir / "Alpha");
  auto gone = Folder(dir / "Alpha", DiskWriter::Posix());
  EXPECT_EQ(ErrorOf([&] { gone.AddSubFolder("x"); }).number(), errors::kPathNotFound);
  EXPECT_EQ(ErrorOf([&] { gone.Files(); }).number(), errors::kPathNotFound);
}

TEST(FolderTest, DeleteRemovesTheTreeButNeverWhatLinksPointTo) {
  TempDir dir;
  fs::create_directories(dir / "outside");
  WriteTextFile(dir / "outside" / "keep.xml", "keep");
  fs::create_directories(dir / "tree" / "sub");
  WriteTextFile(dir / "tree" / "sub" / "view.xml", "v");
  fs::create_directory_symlink(dir / "outside", dir / "tree" / "sub" / "linked-folder");
  fs::create_symlink(dir / "outside" / "keep.xml", dir / "tree" / "linked-file.xml");
  fs::create_directory_symlink(dir / "outside", dir / "alias");
  FileSystemObject file_system;

  file_system.GetFolder(dir / "tree").Delete();
  EXPECT_FALSE(fs::exists(dir / "tree"));
  file_system.GetFolder(dir / "alias").Delete();
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "alias")));
  EXPECT_EQ(ReadTextFile(dir / "outside" / "keep.xml"), "keep");
}

TEST(FolderTest, DeleteStopsAtTheFirstItemThatMayNotBeRemoved) {
  TempDir dir;
  fs::create_directories(dir / "tree" / "sub");
  WriteTextFile(dir / "tree" / "sub" / "view.xml", "v");
  FileSystemObject file_system(std::make_shared<FailingDisk>(FailingDisk::Operation::kRemoveFile,
                                                             std::errc::permission_denied));
  auto error = ErrorOf([&] { file_system.GetFolder(dir / "tree").Delete(); });
  EXPECT_EQ(error.number(), errors::kPermissionDenied);
  EXPECT_EQ(error.description(), "Permission denied");
  EXPECT_EQ(ReadTextFile(dir / "tree" / "sub" / "view.xml"), "v");
  EXPECT_EQ(EntryCount(dir / "tree"), 1);
}

}  // namespace
}  // namespace orvex::scripting
