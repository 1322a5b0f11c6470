#pragma once
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/com/com_error.h"
#include "platform/scripting/disk_writer.h"
#include "support/temp_dir.h"
#include "support/text_file.h"

// Helpers for tests of the scripting file system and of what stands on it.
namespace orvex::test {

using orvex::testing::ReadTextFile;
using orvex::testing::TempDir;
using orvex::testing::WriteTextFile;

// The ComError that `action` throws; number 0 when it throws none.
template <class Action>
ComError ErrorOf(Action&& action) {
  try {
    action();
  } catch (const ComError& error) {
    return error;
  }
  return ComError(0, "", "");
}

// How many entries a folder holds, hidden ones included.
inline int EntryCount(const std::filesystem::path& folder) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// The real disk, except that one operation fails with `error` from its
// `skip`+1-th call on. A failing Write first writes half of its data, like a
// disk that fills up halfway.
class FailingDisk final : public scripting::DiskWriter {
 public:
  enum class Operation { kCreateFile, kWrite, kClose, kRename, kRenameNoReplace, kMakeFolder, kRemoveFile, kRemoveFolder };

  FailingDisk(Operation operation, std::errc error, int skip = 0)
      : operation_(operation), error_(std::make_error_code(error)), skip_(skip) {}

  std::error_code CreateFile(const std::filesystem::path& path, int* descriptor) override {
    return Fails(Operation::kCreateFile) ? error_ : real_->CreateFile(path, descriptor);
  }
  std::error_code Write(int descriptor, std::string_view data) override {
    if (!Fails(Operation::kWrite)) return real_->Write(descriptor, data);
    (void)real_->Write(descriptor, data.substr(0, data.size() / 2));
    return error_;
  }
  std::error_code Close(int descriptor) override {
    auto closed = real_->Close(descriptor);
    return Fails(Operation::kClose) ? error_ : closed;
  }
  std::error_code Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return Fails(Operation::kRename) ? error_ : real_->Rename(from, to);
  }
  std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return Fails(Operation::kRenameNoReplace) ? error_ : real_->RenameNoReplace(from, to);
  }
  std::error_code MakeFolder(const std::filesystem::path& path) override {
    return Fails(Operation::kMakeFolder) ? error_ : real_->MakeFolder(path);
  }
  std::error_code RemoveFile(const std::filesystem::path& path) override {
    return Fails(Operation::kRemoveFile) ? error_ : real_->RemoveFile(path);
  }
  std::error_code RemoveFolder(const std::filesystem::path& path) override {
    return Fails(Operation::kRemoveFolder) ? error_ : real_->RemoveFolder(path);
  }

 private:
  bool Fails(Operation operation) { return operation == operation_ && skip_-- <= 0; }

  std::shared_ptr<scripting::DiskWriter> real_ = scripting::DiskWriter::Posix();
  Operation operation_;
  std::error_code error_;
  int skip_;
};

}  // namespace orvex::test
