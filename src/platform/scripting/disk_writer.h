#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "platform/com/com_error.h"

namespace orvex::scripting {

// Every operation of the scripting file system that changes the disk goes
// through this interface, so that a test can put a writer in its place that
// fails a chosen write or rename and prove that no file is left half-written.
// Each call reports failure as an error code (the operating system's errno)
// and never throws. Implementations must be usable from many threads at once.
class DiskWriter {
 public:
  virtual ~DiskWriter() = default;

  // The writer over the real disk, shared by every user.
  static std::shared_ptr<DiskWriter> Posix();

  // Creates `path`, which must not exist yet, empty and open for writing;
  // on success `*descriptor` receives the open descriptor.
  virtual std::error_code CreateFile(const std::filesystem::path& path, int* descriptor) = 0;
  // Writes all of `data` at the end of what was written before.
  virtual std::error_code Write(int descriptor, std::string_view data) = 0;
  // Makes what was written durable and closes the descriptor; it is closed even when this fails.
  virtual std::error_code Close(int descriptor) = 0;
  // Moves `from` to `to` in one step, replacing a file at `to`; the change is durable on success.
  virtual std::error_code Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Moves `from` to `to` in one step only when nothing is at `to` (file_exists
  // otherwise, and `from` stays); the change is durable on success.
  virtual std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Creates one folder; its parent must exist.
  virtual std::error_code MakeFolder(const std::filesystem::path& path) = 0;
  // Removes a file or a symbolic link (never what the link points to).
  virtual std::error_code RemoveFile(const std::filesystem::path& path) = 0;
  // Removes an empty folder.
  virtual std::error_code RemoveFolder(const std::filesystem::path& path) = 0;
};

// The platform's error for a failed disk operation, with an empty source:
// `when_missing` (53 for a file, 76 for a path) when the item or a folder on
// its path is missing, 58 when it exists, 70 when access is refused, 61 when
// the disk is full and 75 for anything else.
ComError DiskError(std::error_code error, int32_t when_missing);

}  // namespace orvex::scripting
