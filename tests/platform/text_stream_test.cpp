#include "platform/scripting/text_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/scripting/file_system_object.h"
#include "platform/scripting_fakes.h"

namespace orvex::scripting {
namespace {

namespace fs = std::filesystem;
using namespace orvex::test;

TEST(TextStreamTest, AFileAppearsWholeOnlyWhenClosedAndReadsBackUnchanged) {
  TempDir dir;
  FileSystemObject file_system;
  const std::string text = "<cubeView caption=\"Ventes 2024 · 売上 · Umsätze\">\n</cubeView>\r\n";
  auto path = dir / "Überblick 売上.xml";

  auto stream = file_system.CreateTextFile(path, false);
  stream.Write(text.substr(0, 10));
  stream.Write(text.substr(10));
  EXPECT_FALSE(fs::exists(path));
  stream.Close();
  stream.Close();

  auto read = file_system.GetFile(path).OpenAsTextStream();
  EXPECT_EQ(read.ReadAll(), text);
  read.Close();
  EXPECT_EQ(EntryCount(dir.path()), 1);
}

TEST(TextStreamTest, OverwriteDecidesWhetherAFileOfTheSameNameInAnyCaseIsReplaced) {
  TempDir dir;
  WriteTextFile(dir / "Report.xml", "old");
  FileSystemObject file_system;

  auto error = ErrorOf([&] { file_system.CreateTextFile(dir / "report.XML", false); });
  EXPECT_EQ(error.number(), errors::kFileAlreadyExists);
  EXPECT_EQ(ReadTextFile(dir / "Report.xml"), "old");

  auto stream = file_system.CreateTextFile(dir / "report.XML", true);
  stream.Write("new");
  stream.Close();
  EXPECT_EQ(ReadTextFile(dir / "Report.xml"), "new");
  EXPECT_EQ(EntryCount(dir.path()), 1);
}

TEST(TextStreamTest, OfTwoWritersOfANewNameTheLaterOneFailsAndTheFirstFileStays) {
  TempDir dir;
  FileSystemObject file_system;
  auto first = file_system.CreateTextFile(dir / "view.xml", false);
  auto second = file_system.CreateTextFile(dir / "view.xml", false);
  first.Write("first");
  second.Write("second");
  first.Close();
  EXPECT_EQ(ErrorOf([&] { second.Close(); }).number(), errors::kFileAlreadyExists);
  EXPECT_EQ(ReadTextFile(dir / "view.xml"), "first");
  EXPECT_EQ(EntryCount(dir.path()), 1);
}

TEST(TextStreamTest, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
  using Operation = FailingDisk::Operation;
  struct Case {
    const char* name;
    Operation operation;
    std::errc error;
    bool overwrite;
    int32_t number;
  };
  const Case cases[] = {
      {"full disk halfway through", Operation::kWrite, std::errc::no_space_on_device, true, errors::kDiskFull},
      {"flush fails", Operation::kClose, std::errc::io_error, true, errors::kPathFileAccessError},
      {"replace refused", Operation::kRename, std::errc::permission_denied, true, errors::kPermissionDenied},
      {"new name refused", Operation::kRenameNoReplace, std::errc::read_only_file_system, false,
       errors::kPermissionDenied},
      {"no temporary file", Operation::kCreateFile, std::errc::no_space_on_device, true, errors::kDiskFull},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    WriteTextFile(dir / "old.xml", "old content");
    FileSystemObject file_system(std::make_shared<FailingDisk>(test.operation, test.error));
    auto target = dir / (test.overwrite ? "old.xml" : "new.xml");

    auto error = ErrorOf([&] {
      auto stream = file_system.CreateTextFile(target, test.overwrite);
      stream.Write(std::string(100000, 'n'));
      auto first_error = ErrorOf([&] { stream.Close(); });
      // A stream that failed never publishes, however often it is closed.
      EXPECT_EQ(ErrorOf([&] { stream.Close(); }).number(), first_error.number());
      throw first_error;
    });
    EXPECT_EQ(error.number(), test.number);
    EXPECT_EQ(error.description(), PlatformErrorText(test.number));
    EXPECT_EQ(ReadTextFile(dir / "old.xml"), "old content");
    EXPECT_EQ(EntryCount(dir.path()), 1);
  }
}

TEST(TextStreamTest, AStreamDroppedWithoutCloseLeavesNothing) {
  TempDir dir;
  {
    auto stream = FileSystemObject().CreateTextFile(dir / "view.xml", false);
    stream.Write("unfinished");
  }
  EXPECT_EQ(EntryCount(dir.path()), 0);
}

TEST(TextStreamTest, ReadingAndWritingRefuseWhatIsMissingOrMisused) {
  TempDir dir;
  FileSystemObject file_system;
  EXPECT_EQ(ErrorOf([&] { TextStream::OpenForReading(dir / "missing.xml"); }).number(), errors::kFileNotFound);
  EXPECT_EQ(ErrorOf([&] { file_system.CreateTextFile(dir / "no" / "view.xml", false); }).number(),
            errors::kPathNotFound);
  WriteTextFile(dir / "view.xml", "v");
  auto read = TextStream::OpenForReading(dir / "view.xml");
  EXPECT_EQ(ErrorOf([&] { read.Write("x"); }).number(), errors::kInvalidProcedureCall);
  if (::geteuid() != 0) {
    fs::permissions(dir / "view.xml", fs::perms::none);
    EXPECT_EQ(ErrorOf([&] { TextStream::OpenForReading(dir / "view.xml"); }).number(), errors::kPermissionDenied);
  }
}

}  // namespace
}  // namespace orvex::scripting
