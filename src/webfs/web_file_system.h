#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "platform/scripting/disk_writer.h"
#include "platform/scripting/file.h"
#include "platform/scripting/file_system_object.h"
#include "platform/scripting/folder.h"

namespace orvex {

// The saved-views store: named text files (UTF-8) in a small tree of named
// folders under one root folder. The disk is the store; this class adds the
// rules: a fixed root, limits on depth, folders and files per folder and name
// length, forbidden characters, and a fixed file extension. A breach throws
// ComError with one of the numbers of `Errors` (see ErrorNumber), source
// "Porlane" plus one trail line per procedure passed, and a message in the
// thread's language. File-system failures pass through with the platform's
// numbers: 53 file not found, 58 already exists, 70 permission denied, 76
// path not found.
//
// Folder and file names lose their leading and trailing blanks before they
// are checked, stored or looked up, so " a " saves, opens and deletes the
// view "a"; a file or folder already on disk with such blanks is found under
// its trimmed name. Names are looked up without regard to letter case.
//
// A folder path is a Variant holding an array of folder names, outermost
// first; an empty array (or, except for AddFolder, anything that is not an
// array) is the root. Arguments keep the Hungarian names of the original
// interface (strName, arrFolderNames, blnOverWrite).
//
// Nothing a caller passes reaches outside the root: names are checked, and
// folders and files reached through symbolic links that lead out of the root
// are refused as invalid names. Saving writes the whole file before it
// becomes visible, so a failed save leaves the old file as it was.
//
// One object per request and thread; any number of objects may work on the
// same root at once (the check of a limit and the change it guards are done
// under one lock of the process).
class WebFileSystem {
 public:
  enum class Errors : int32_t {
    ERR_INVALID_NAME = 2001,
    ERR_FOLDER_TOO_DEEP = 2002,
    ERR_TOO_MANY_FOLDERS = 2003,
    ERR_TOO_MANY_FILES = 2004,
    ERR_NAME_TOO_LONG = 2005,
  };
  // The number raised for `value`: the value plus the platform's base for
  // component errors (ERR_INVALID_NAME is -2147219503).
  static int32_t ErrorNumber(Errors value);

  // The limits start at 5 files and 5 folders per folder, depth 3, names of 50
  // characters, extension "xml", and the default root.
  explicit WebFileSystem(std::shared_ptr<scripting::DiskWriter> disk = scripting::DiskWriter::Posix());

  // The folder path that URLs and form fields carry as names joined with "/":
  // split at every "/", the empty text giving the root (an empty array).
  static Variant SplitFolderPath(std::string_view joined);

  // The root used when none is set: the folder "Views" beside the module
  // (program or library) that holds the store. It is created, one level only,
  // on the first use that needs it.
  static std::string DefaultRootFolderPath();

  std::string RootFolderPath() const { return root_folder_path_; }
  // An empty value selects the default root. Another folder is used as it is:
  // it must exist when used (76 otherwise).
  void SetRootFolderPath(std::string_view value);
  // The limits are stored without validation.
  int32_t MaxFilesPerFolder() const { return max_files_per_folder_; }
  void SetMaxFilesPerFolder(int32_t value) { max_files_per_folder_ = value; }
  int32_t MaxFoldersPerFolder() const { return max_folders_per_folder_; }
  void SetMaxFoldersPerFolder(int32_t value) { max_folders_per_folder_ = value; }
  int32_t MaxFolderDepth() const { return max_folder_depth_; }
  void SetMaxFolderDepth(int32_t value) { max_folder_depth_ = value; }
  int32_t MaxNameLength() const { return max_name_length_; }
  void SetMaxNameLength(int32_t value) { max_name_length_ = value; }
  std::string FileExtension() const { return file_extension_; }
  // The extension, without its full stop, must pass IsValidName; otherwise the old one stays.
  void SetFileExtension(std::string_view value);

  // True, or throws: ERR_INVALID_NAME for an empty name, ERR_NAME_TOO_LONG for
  // more than MaxNameLength characters (UTF-8 characters, not bytes), and
  // ERR_INVALID_NAME for a forbidden character (\ / : * ? " < > | and the full
  // stop), a control character or text that is not UTF-8. Never false.
  bool IsValidName(std::string_view strName) const;

  // Creates `strFolderName` in the folder `arrFolderNames`, which must be an
  // array (13 otherwise). Refuses a parent at MaxFolderDepth or deeper
  // (ERR_FOLDER_TOO_DEEP) and a parent holding MaxFoldersPerFolder folders
  // (ERR_TOO_MANY_FOLDERS); an existing name is 58.
  void AddFolder(const Variant& arrFolderNames, std::string_view strFolderName);
  // Deletes the folder with everything in it. The root is refused
  // (ERR_INVALID_NAME) and nothing is deleted.
  void DeleteFolder(const Variant& arrFolderNames);
  // The folder `arrFolderNames`; every name must pass IsValidName, and a
  // missing folder is 76.
  scripting::Folder GetFolder(const Variant& arrFolderNames) const;
  // `strName` without leading and trailing blanks, a full stop and the file
  // extension; the trimmed name must pass IsValidName.
  std::string BuildFileName(std::string_view strName) const;
  // The file `strName` (without extension) in the folder; missing is 53.
  scripting::File GetFile(const Variant& arrFolderNames, std::string_view strName) const;
  // Writes `strContents` as the file `strName`. A folder that already holds
  // MaxFilesPerFolder readable files (of any extension) takes none, even to
  // overwrite one (ERR_TOO_MANY_FILES). An existing file is 58 unless
  // `blnOverWrite`; of two saves of one name at once without overwrite, one
  // succeeds and the other is 58. On any failure the old file is unchanged.
  void SaveFile(const Variant& arrFolderNames, std::string_view strName, std::string_view strContents,
                bool blnOverWrite);
  // Deletes the file `strName` (without extension) of the folder; missing is 53.
  void DeleteFile(const Variant& arrFolderNames, std::string_view strName);

  // Removes, in every folder below the root, the temporary files of saves
  // that a crash interrupted, leaving files that another process is still
  // writing. Symbolic links are neither followed nor removed. Returns how many
  // went; a missing root is none. Meant for the server's start.
  int RemoveInterruptedSaves() const;

 private:
  std::string GetErrorMessage(Errors value) const;
  [[noreturn]] void Raise(Errors value) const;
  // The root folder, created first when it is the default root and missing.
  scripting::Folder RootFolder() const;
  // Whether `path`, with every symbolic link resolved, lies within the resolved
  // root; `strictly` leaves out the root itself.
  bool IsInsideRoot(const std::filesystem::path& path, bool strictly) const;
  // The subfolder `name` (trimmed already) of `folder`, or one whose name on disk differs only by blanks.
  static std::optional<scripting::Folder> SubFolderIn(const scripting::Folder& folder, std::string_view name);
  // The file `strName` of `folder`, matched as SubFolderIn matches folders;
  // ERR_INVALID_NAME when it leads out of the root.
  std::optional<scripting::File> TryFileIn(const scripting::Folder& folder, std::string_view strName) const;
  // As TryFileIn, but missing is 53.
  scripting::File FileIn(const scripting::Folder& folder, std::string_view strName) const;

  std::string root_folder_path_;
  bool root_is_default_ = true;
  int32_t max_files_per_folder_ = 5;
  int32_t max_folders_per_folder_ = 5;
  int32_t max_folder_depth_ = 3;
  int32_t max_name_length_ = 50;
  std::string file_extension_ = "xml";
  scripting::FileSystemObject file_system_;
};

// The names, without extension and in the folder's order, of the views in
// `folder` that can be read: files of the store's extension that open. Both
// view pickers offer only these.
std::vector<std::string> ReadableViewNames(const WebFileSystem& store, const scripting::Folder& folder);

}  // namespace orvex
