#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/scripting/disk_writer.h"
#include "platform/scripting/file.h"
#include "platform/scripting/folder.h"
#include "platform/scripting/text_stream.h"

namespace orvex::scripting {

// The scripting runtime's file system: paths, folders and text files, with
// the platform's errors (53 file not found, 58 already exists, 70 permission
// denied, 76 path not found) raised as ComError with an empty source. Names
// are UTF-8 bytes; letter case is ignored when a name is looked up (see Folder).
// Everything that changes the disk goes through the DiskWriter given at
// construction. Thread-safe as far as the disk is.
class FileSystemObject {
 public:
  explicit FileSystemObject(std::shared_ptr<DiskWriter> disk = DiskWriter::Posix());

  // `path` and `name` joined with exactly one separator between them; an empty
  // path gives the name alone.
  static std::string BuildPath(std::string_view path, std::string_view name);
  // The last part of a path without its extension ("b.c" for "a/b.c.xml").
  static std::string GetBaseName(std::string_view path);
  // The extension of the last part of a path, without the full stop; empty when there is none.
  static std::string GetExtensionName(std::string_view path);

  bool FolderExists(const std::filesystem::path& path) const;
  // Throws 76 when there is no folder at `path`.
  Folder GetFolder(const std::filesystem::path& path) const;
  // Throws 53 when there is no file at `path`.
  File GetFile(const std::filesystem::path& path) const;
  // Creates one folder. Throws 58 when something is at `path`, 76 when its parent is missing.
  Folder CreateFolder(const std::filesystem::path& path) const;
  // Starts writing a text file that appears whole at `path` when the stream is
  // closed (see TextStream). A file of that name in any letter case is 58 here
  // unless `overwrite`, in which case that file is the one replaced. Throws 76
  // when the folder is missing.
  TextStream CreateTextFile(const std::filesystem::path& path, bool overwrite) const;

 private:
  std::shared_ptr<DiskWriter> disk_;
};

}  // namespace orvex::scripting
