#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/com_error.h"
#include "platform/scripting/disk_writer.h"

namespace orvex::scripting {

// An open text file of the scripting file system, for reading or for writing.
// Text is UTF-8 and passes through unchanged, both ways.
//
// A stream for writing never shows a partial file: what is written goes to a
// temporary file in the target's folder, and Close publishes it under the
// target name in one step (replacing an existing file only when the stream was
// created with overwrite). Destroying the stream without Close, or any failed
// Write or Close, removes the temporary file and leaves the target as it was.
// One thread at a time; movable, not copyable.
class TextStream {
 public:
  // Opens an existing file for reading. Throws 53 when it is missing, 70 when
  // it may not be read.
  static TextStream OpenForReading(const std::filesystem::path& path);
  // Starts writing the file `target` in an existing folder. Throws 76 when the
  // folder is missing; a name taken at Close (with `overwrite` false) is 58.
  static TextStream CreateForWriting(std::shared_ptr<DiskWriter> disk, const std::filesystem::path& target,
                                     bool overwrite);

  TextStream(TextStream&& other) noexcept;
  TextStream& operator=(TextStream&& other) noexcept;
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;
  ~TextStream();

  // The rest of a stream for reading, whole.
  std::string ReadAll();
  void Write(std::string_view text);
  // Ends the stream; for writing, publishes the file and throws when that fails.
  // A second Close does nothing.
  void Close();

  // Whether `file_name` is the temporary name of a file still being written;
  // folder listings leave such files out.
  static bool IsPendingWriteName(std::string_view file_name);

  // Removes the temporary files that streams for writing left behind when
  // their process ended before Close, in `root` and every folder below it.
  // A temporary file whose stream is still open, in this process or another,
  // stays. Nothing outside the tree is touched: symbolic links are neither
  // followed nor removed, and each folder is entered by a handle on the one
  // above it, so a folder swapped for a link meanwhile leads nowhere.
  // Returns the number removed; folders that cannot be read are passed over.
  static int RemoveAbandonedWrites(const std::filesystem::path& root);

 private:
  enum class Mode { kReading, kWriting, kClosed };
  TextStream(Mode mode, int descriptor);
  // Closes the descriptor and removes the temporary file of a stream for writing.
  void Discard() noexcept;
  // Records `error` as the stream's end: a later Write or Close throws it again.
  [[noreturn]] void Fail(ComError error);
  void ReleaseLock() noexcept;

  Mode mode_;
  int descriptor_;
  // Writing only: holds the lock that marks the temporary file as in use.
  int lock_descriptor_ = -1;
  // Writing only:
  std::shared_ptr<DiskWriter> disk_;
  std::filesystem::path pending_path_;
  std::filesystem::path target_;
  bool overwrite_ = false;
  std::optional<ComError> failure_;
};

}  // namespace orvex::scripting
