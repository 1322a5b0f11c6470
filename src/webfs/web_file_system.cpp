#include "webfs/web_file_system.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

#include "errors/trail.h"
#include "platform/runtime/runtime.h"
#include "platform/text.h"
#include "resources/webfs_strings.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using scripting::File;
using scripting::FileSystemObject;
using scripting::Folder;

constexpr std::string_view kComponent = "Porlane";
constexpr std::string_view kModule = "WebFileSystem";
// In the order the invalid-name message lists them.
constexpr std::string_view kForbiddenCharacters = "\\/:*?\"<>|.";

// Something inside this library, to find the module that holds it.
const char kModuleMarker = 0;

// Serialises each check of a limit with the change it guards, so that two
// requests saving into one folder at once cannot both pass the count.
std::mutex& LimitMutex() {
  static std::mutex mutex;
  return mutex;
}

// The number of UTF-8 characters; nullopt when `text` is not UTF-8.
std::optional<int64_t> Utf8Length(std::string_view text) {
  int64_t characters = 0;
  for (size_t at = 0; at < text.size(); ++characters) {
    if (!NextUtf8Character(text, at)) return std::nullopt;
  }
  return characters;
}

bool HoldsForbiddenCharacter(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char character) {
    auto code = static_cast<unsigned char>(character);
    return code < 0x20 || code == 0x7F || kForbiddenCharacters.find(character) != std::string_view::npos;
  });
}

// A name as the store keeps it and looks it up: without leading or trailing
// blanks. The view page trims the names it is sent and the saved-views page
// does not, so a name is only ever the same to both once the store trims it.
std::string StoredName(std::string_view name) { return Trim(name); }

bool SameStoredName(std::string_view on_disk, std::string_view name) {
  return Folder::SameName(StoredName(on_disk), name);
}

// The names of a folder path; none for the root.
Variant::Array FolderNames(const Variant& arrFolderNames) {
  return arrFolderNames.IsArray() ? arrFolderNames.ToArray() : Variant::Array();
}

}  // namespace

int32_t WebFileSystem::ErrorNumber(Errors value) { return errors::kObjectErrorBase + static_cast<int32_t>(value); }

WebFileSystem::WebFileSystem(std::shared_ptr<scripting::DiskWriter> disk)
    : root_folder_path_(DefaultRootFolderPath()), file_system_(std::move(disk)) {}

Variant WebFileSystem::SplitFolderPath(std::string_view joined) {
  Variant::Array names;
  if (!joined.empty()) {
    for (auto& name : Split(joined, "/")) names.emplace_back(std::move(name));
  }
  return Variant(std::move(names));
}

std::string WebFileSystem::DefaultRootFolderPath() {
  return (runtime::ModuleFolder(&kModuleMarker) / "Views").string();
}

void WebFileSystem::SetRootFolderPath(std::string_view value) {
  root_is_default_ = value.empty();
  root_folder_path_ = root_is_default_ ? DefaultRootFolderPath() : std::string(value);
}

void WebFileSystem::SetFileExtension(std::string_view value) {
  Trail(kModule, "FileExtension [PropertyLet]", [&] {
    IsValidName(value);
    file_extension_ = std::string(value);
  });
}

std::string WebFileSystem::GetErrorMessage(Errors value) const {
  return Trail(kModule, "GetErrorMessage", [&] {
    const auto& texts = WebFileSystemStrings();
    switch (value) {
      case Errors::ERR_INVALID_NAME:
        return texts.ReadString(1) + " " + std::string(kForbiddenCharacters);
      case Errors::ERR_FOLDER_TOO_DEEP:
        return texts.ReadString(2) + "  " + texts.ReadString(3);
      case Errors::ERR_TOO_MANY_FOLDERS:
        return texts.ReadString(2) + "  " + texts.ReadString(4);
      case Errors::ERR_TOO_MANY_FILES:
        return texts.ReadString(5) + "  " + texts.ReadString(6);
      case Errors::ERR_NAME_TOO_LONG:
        return texts.ReadString(7) + std::to_string(max_name_length_) + texts.ReadString(8);
    }
    return texts.ReadString(9);
  });
}

void WebFileSystem::Raise(Errors value) const {
  throw ComError(ErrorNumber(value), std::string(kComponent), GetErrorMessage(value));
}

Folder WebFileSystem::RootFolder() const {
  if (root_is_default_ && !file_system_.FolderExists(root_folder_path_)) {
    try {
      file_system_.CreateFolder(root_folder_path_);
    } catch (const ComError& error) {
      // Another request may have made it in the meantime.
      if (error.number() != errors::kFileAlreadyExists) throw;
    }
  }
  return file_system_.GetFolder(root_folder_path_);
}

bool WebFileSystem::IsInsideRoot(const fs::path& path, bool strictly) const {
  std::error_code root_error;
  std::error_code path_error;
  auto root = fs::canonical(root_folder_path_, root_error);
  auto real = fs::canonical(path, path_error);
  if (root_error || path_error) return false;
  auto [root_part, real_part] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
  return root_part == root.end() && (!strictly || real_part != real.end());
}

bool WebFileSystem::IsValidName(std::string_view strName) const {
  return Trail(kModule, "IsValidName", [&] {
    if (strName.empty()) Raise(Errors::ERR_INVALID_NAME);
    auto length = Utf8Length(strName);
    if (length && *length > max_name_length_) Raise(Errors::ERR_NAME_TOO_LONG);
    if (!length || HoldsForbiddenCharacter(strName)) Raise(Errors::ERR_INVALID_NAME);
    return true;
  });
}

Folder WebFileSystem::GetFolder(const Variant& arrFolderNames) const {
  return Trail(kModule, "GetFolder", [&] {
    auto folder = RootFolder();
    for (const auto& element : FolderNames(arrFolderNames)) {
      auto name = StoredName(element.ToString());
      IsValidName(name);
      auto found = SubFolderIn(folder, name);
      if (!found) throw ComError::Platform(errors::kPathNotFound, "");
      folder = *found;
      if (!IsInsideRoot(folder.Path(), true)) Raise(Errors::ERR_INVALID_NAME);
    }
    return folder;
  });
}

std::string WebFileSystem::BuildFileName(std::string_view strName) const {
  return Trail(kModule, "BuildFileName", [&] {
    auto name = StoredName(strName);
    IsValidName(name);
    return name + "." + file_extension_;
  });
}

std::optional<Folder> WebFileSystem::SubFolderIn(const Folder& folder, std::string_view name) {
  if (auto found = folder.TrySubFolder(name)) return found;
  // A folder made before names were trimmed may keep blanks on disk.
  for (auto& candidate : folder.SubFolders()) {
    if (SameStoredName(candidate.Name(), name)) return candidate;
  }
  return std::nullopt;
}

std::optional<File> WebFileSystem::TryFileIn(const Folder& folder, std::string_view strName) const {
  auto file_name = BuildFileName(strName);
  auto found = folder.TryFile(file_name);
  if (!found) {
    // A view saved before names were trimmed may keep blanks on disk.
    auto name = StoredName(strName);
    for (auto& candidate : folder.Files()) {
      auto candidate_name = candidate.Name();
      if (Folder::SameName(FileSystemObject::GetExtensionName(candidate_name), file_extension_) &&
          SameStoredName(FileSystemObject::GetBaseName(candidate_name), name)) {
        found = candidate;
        break;
      }
    }
  }
  if (found && !IsInsideRoot(found->Path(), true)) Raise(Errors::ERR_INVALID_NAME);
  return found;
}

File WebFileSystem::FileIn(const Folder& folder, std::string_view strName) const {
  auto file = TryFileIn(folder, strName);
  if (!file) throw ComError::Platform(errors::kFileNotFound, "");
  return *file;
}

File WebFileSystem::GetFile(const Variant& arrFolderNames, std::string_view strName) const {
  return Trail(kModule, "GetFile", [&] { return FileIn(GetFolder(arrFolderNames), strName); });
}

void WebFileSystem::AddFolder(const Variant& arrFolderNames, std::string_view strFolderName) {
  Trail(kModule, "AddFolder", [&] {
    if (!arrFolderNames.IsArray()) throw ComError::Platform(errors::kTypeMismatch, std::string(kComponent));
    auto highest_index = static_cast<int64_t>(arrFolderNames.ToArray().size()) - 1;
    if (highest_index >= int64_t{max_folder_depth_} - 1) Raise(Errors::ERR_FOLDER_TOO_DEEP);
    auto parent = GetFolder(arrFolderNames);
    std::scoped_lock lock(LimitMutex());
    if (static_cast<int64_t>(parent.SubFolders().size()) >= max_folders_per_folder_) {
      Raise(Errors::ERR_TOO_MANY_FOLDERS);
    }
    auto name = StoredName(strFolderName);
    IsValidName(name);
    if (SubFolderIn(parent, name)) throw ComError::Platform(errors::kFileAlreadyExists, "");
    auto added = parent.AddSubFolder(name);
    if (!IsInsideRoot(added.Path(), true)) {
      try {
        added.Delete();
      } catch (const ComError&) {
        // The refusal below is what the caller needs to hear about.
      }
      Raise(Errors::ERR_INVALID_NAME);
    }
  });
}

void WebFileSystem::DeleteFolder(const Variant& arrFolderNames) {
  Trail(kModule, "DeleteFolder", [&] {
    // Deleting the root would take every saved view with it.
    if (FolderNames(arrFolderNames).empty()) Raise(Errors::ERR_INVALID_NAME);
    auto folder = GetFolder(arrFolderNames);
    folder.Delete();
  });
}

void WebFileSystem::SaveFile(const Variant& arrFolderNames, std::string_view strName, std::string_view strContents,
                             bool blnOverWrite) {
  Trail(kModule, "SaveFile", [&] {
    auto folder = GetFolder(arrFolderNames);
    std::scoped_lock lock(LimitMutex());
    // Every file that can be read counts, whatever its extension; a limit of
    // zero or less takes no file at all.
    int64_t readable = 0;
    for (const auto& file : folder.Files()) {
      if (readable >= max_files_per_folder_) break;
      try {
        file.OpenAsTextStream().Close();
        ++readable;
      } catch (const ComError&) {
        // An unreadable file is not a saved view and does not count.
      }
    }
    if (readable >= max_files_per_folder_) Raise(Errors::ERR_TOO_MANY_FILES);
    auto path = FileSystemObject::BuildPath(folder.Path(), BuildFileName(strName));
    if (auto existing = TryFileIn(folder, strName)) {
      if (!blnOverWrite) throw ComError::Platform(errors::kFileAlreadyExists, "");
      // Overwriting keeps the name the view has on disk, blanks and letter case included.
      path = existing->Path();
    }
    auto stream = file_system_.CreateTextFile(path, blnOverWrite);
    stream.Write(strContents);
    stream.Close();
  });
}

void WebFileSystem::DeleteFile(const Variant& arrFolderNames, std::string_view strName) {
  Trail(kModule, "DeleteFile", [&] {
    FileIn(GetFolder(arrFolderNames), strName).Delete();
  });
}

int WebFileSystem::RemoveInterruptedSaves() const {
  return Trail(kModule, "RemoveInterruptedSaves", [&] {
    if (!file_system_.FolderExists(root_folder_path_)) return 0;
    return scripting::TextStream::RemoveAbandonedWrites(root_folder_path_);
  });
}

std::vector<std::string> ReadableViewNames(const WebFileSystem& store, const scripting::Folder& folder) {
  std::vector<std::string> names;
  const std::string extension = store.FileExtension();
  for (const scripting::File& file : folder.Files()) {
    const std::string file_name = file.Name();
    if (!EqualsIgnoreCase(scripting::FileSystemObject::GetExtensionName(file_name), extension)) continue;
    try {
      file.OpenAsTextStream().Close();
    } catch (const ComError&) {
      continue;
    }
    names.push_back(scripting::FileSystemObject::GetBaseName(file_name));
  }
  return names;
}

}  // namespace orvex
