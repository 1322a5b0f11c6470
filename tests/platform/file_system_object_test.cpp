#include "platform/scripting/file_system_object.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/scripting_fakes.h"

namespace orvex::scripting {
namespace {

namespace fs = std::filesystem;
using namespace orvex::test;

TEST(FileSystemObjectTest, PathHelpersSplitAndJoinLikeTheScriptingRuntime) {
  struct Case {
    std::string_view path, name, built;
  };
  for (const auto& test : {Case{"/views", "a.xml", "/views/a.xml"}, Case{"/views/", "a.xml", "/views/a.xml"},
                           Case{"/views", "/a.xml", "/views/a.xml"}, Case{"", "a.xml", "a.xml"}}) {
    SCOPED_TRACE(std::string(test.path) + " + " + std::string(test.name));
    EXPECT_EQ(FileSystemObject::BuildPath(test.path, test.name), test.built);
  }
  struct Parts {
    std::string_view path, base, extension;
  };
  for (const auto& test : {Parts{"/v/report.xml", "report", "xml"}, Parts{"a.b.XML", "a.b", "XML"},
                           Parts{"/v.d/readme", "readme", ""}, Parts{"Überblick.xml", "Überblick", "xml"}}) {
    SCOPED_TRACE(test.path);
    EXPECT_EQ(FileSystemObject::GetBaseName(test.path), test.base);
    EXPECT_EQ(FileSystemObject::GetExtensionName(test.path), test.extension);
  }
}

TEST(FileSystemObjectTest, MissingAndTakenItemsGiveThePlatformErrors) {
  TempDir dir;
  fs::create_directory(dir / "taken");
  WriteTextFile(dir / "file.xml", "f");
  FileSystemObject file_system;
  struct Case {
    const char* name;
    std::function<void()> action;
    int32_t number;
    const char* description;
  };
  const Case cases[] = {
      {"missing folder", [&] { file_system.GetFolder(dir / "missing"); }, errors::kPathNotFound, "Path not found"},
      {"file as folder", [&] { file_system.GetFolder(dir / "file.xml"); }, errors::kPathNotFound, "Path not found"},
      {"missing file", [&] { file_system.GetFile(dir / "missing.xml"); }, errors::kFileNotFound, "File not found"},
      {"folder as file", [&] { file_system.GetFile(dir / "taken"); }, errors::kFileNotFound, "File not found"},
      {"folder exists", [&] { file_system.CreateFolder(dir / "taken"); }, errors::kFileAlreadyExists,
       "File already exists"},
      {"parent missing", [&] { file_system.CreateFolder(dir / "a" / "b"); }, errors::kPathNotFound, "Path not found"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto error = ErrorOf(test.action);
    EXPECT_EQ(error.number(), test.number);
    EXPECT_EQ(error.description(), test.description);
  }
}

TEST(FileSystemObjectTest, FoldersAreNamedWithoutTrailingSeparatorAndCreatedThroughTheDiskWriter) {
  TempDir dir;
  FileSystemObject file_system;
  auto folder = file_system.CreateFolder(dir / "Views");
  EXPECT_EQ(file_system.GetFolder((dir / "Views").string() + "/").Name(), "Views");
  EXPECT_EQ(folder.ParentFolder()->Path(), dir.path().string());
  EXPECT_FALSE(file_system.GetFolder("/").ParentFolder().has_value());

  FileSystemObject refusing(std::make_shared<FailingDisk>(FailingDisk::Operation::kMakeFolder,
                                                          std::errc::permission_denied));
  EXPECT_EQ(ErrorOf([&] { refusing.CreateFolder(dir / "Other"); }).number(), errors::kPermissionDenied);
  EXPECT_FALSE(file_system.FolderExists(dir / "Other"));
}

}  // namespace
}  // namespace orvex::scripting
