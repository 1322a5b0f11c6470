#include "platform/scripting/disk_writer.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvex::scripting {
namespace {

std::error_code LastError() { return {errno, std::system_category()}; }

// A rename or link only survives a crash once the folder holding it is on disk.
void SyncFolderOf(const std::filesystem::path& path) {
  int folder = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  ::fsync(folder);
  ::close(folder);
}

class PosixDiskWriter final : public DiskWriter {
 public:
  std::error_code CreateFile(const std::filesystem::path& path, int* descriptor) override {
    int opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (opened < 0) return LastError();
    *descriptor = opened;
    return {};
  }

  std::error_code Write(int descriptor, std::string_view data) override {
    while (!data.empty()) {
      ssize_t written = ::write(descriptor, data.data(), data.size());
      if (written < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      data.remove_prefix(static_cast<size_t>(written));
    }
    return {};
  }

  std::error_code Close(int descriptor) override {
    std::error_code error;
    if (::fsync(descriptor) != 0) error = LastError();
    if (::close(descriptor) != 0 && !error) error = LastError();
    return error;
  }

  std::error_code Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
    SyncFolderOf(to);
    return {};
  }

  std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
      if (errno != EINVAL && errno != ENOSYS) return LastError();
      // File systems without the flag: a hard link is just as atomic and fails
      // when the name is taken; the temporary name is dropped afterwards.
      if (::link(from.c_str(), to.c_str()) != 0) return LastError();
      ::unlink(from.c_str());
    }
    SyncFolderOf(to);
    return {};
  }

  std::error_code MakeFolder(const std::filesystem::path& path) override {
    return ::mkdir(path.c_str(), 0777) == 0 ? std::error_code() : LastError();
  }

  std::error_code RemoveFile(const std::filesystem::path& path) override {
    return ::unlink(path.c_str()) == 0 ? std::error_code() : LastError();
  }

  std::error_code RemoveFolder(const std::filesystem::path& path) override {
    return ::rmdir(path.c_str()) == 0 ? std::error_code() : LastError();
  }
};

}  // namespace

std::shared_ptr<DiskWriter> DiskWriter::Posix() {
  static const auto writer = std::make_shared<PosixDiskWriter>();
  return writer;
}

ComError DiskError(std::error_code error, int32_t when_missing) {
  int32_t number = errors::kPathFileAccessError;
  if (error == std::errc::no_such_file_or_directory) {
    number = when_missing;
  } else if (error == std::errc::not_a_directory) {
    number = errors::kPathNotFound;
  } else if (error == std::errc::file_exists) {
    number = errors::kFileAlreadyExists;
  } else if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
             error == std::errc::read_only_file_system || error == std::errc::is_a_directory ||
             error == std::errc::directory_not_empty || error == std::errc::device_or_resource_busy ||
             error == std::errc::text_file_busy) {
    number = errors::kPermissionDenied;
  } else if (error == std::errc::no_space_on_device || error.value() == EDQUOT) {
    number = errors::kDiskFull;
  }
  return ComError::Platform(number, "");
}

}  // namespace orvex::scripting
