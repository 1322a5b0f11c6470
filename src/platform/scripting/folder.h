#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scripting/disk_writer.h"
#include "platform/scripting/file.h"

namespace orvex::scripting {

// A folder of the scripting file system: a handle on a path, read afresh from
// the disk on every call. Lists are in name order without regard to letter
// case, and names are looked up without regard to case (an exact match first),
// as on the file system the saved views were first kept on, so that lists and
// limits behave the same on every server. Cheap to copy; one thread at a time.
class Folder {
 public:
  Folder(std::filesystem::path path, std::shared_ptr<DiskWriter> disk);

  // The last part of the path; empty for the disk's root.
  std::string Name() const;
  std::string Path() const;
  // The folder holding this one; none for the disk's root.
  std::optional<Folder> ParentFolder() const;

  // The folders in this one (following symbolic links). Throws 76 when this folder is gone.
  std::vector<Folder> SubFolders() const;
  // The regular files in this one (following symbolic links), leaving out
  // files still being written. Throws 76 when this folder is gone.
  std::vector<File> Files() const;

  // The subfolder of that name; none when there is no such folder.
  [[nodiscard]] std::optional<Folder> TrySubFolder(std::string_view name) const;
  // The file of that name; none when there is no such file.
  [[nodiscard]] std::optional<File> TryFile(std::string_view name) const;
  // As the Try forms, but a missing folder throws 76 and a missing file 53.
  Folder SubFolder(std::string_view name) const;
  File FileNamed(std::string_view name) const;

  // Creates the subfolder `name`. Throws 58 when a file or folder of that name
  // (in any letter case) exists, 76 when this folder is gone.
  Folder AddSubFolder(std::string_view name) const;

  // Whether two names are the same to this folder's lookups: equal but for letter case.
  static bool SameName(std::string_view a, std::string_view b);

  // Removes the folder with everything in it. Symbolic links inside are
  // removed, never followed. Stops at the first failure (70 for what may not
  // be removed, 76 when the folder is gone); what was removed stays removed.
  void Delete() const;

 private:
  std::filesystem::path path_;
  std::shared_ptr<DiskWriter> disk_;
};

}  // namespace orvex::scripting
