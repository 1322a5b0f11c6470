#include "platform/scripting/folder.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <utility>

#include "platform/text.h"


namespace orvex::scripting {
namespace {

namespace fs = std::filesystem;

// A name of an entry of one folder: not empty, no separator, no NUL, and not
// the folder itself or its parent.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// The C.UTF-8 character classes, for letter case beyond ASCII; null when the
// system lacks them, and then only ASCII letters are folded.
locale_t Utf8Locale() {
  static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

// A name as the folder's order and lookups see it: each character in upper
// case, as the file system the saved views were first kept on compares names.
// A byte that is not part of valid UTF-8 stands for itself, so every name has
// one distinct key.
std::u32string CaseKey(std::string_view name) {
  std::u32string key;
  for (size_t at = 0; at < name.size();) {
    auto code = NextUtf8Character(name, at);
    if (!code) {
      key.push_back(0xDC00 + static_cast<unsigned char>(name[at - 1]));
    } else if (auto locale = Utf8Locale()) {
      key.push_back(static_cast<char32_t>(::towupper_l(static_cast<wint_t>(*code), locale)));
    } else {
      key.push_back(*code >= 'a' && *code <= 'z' ? *code - ('a' - 'A') : *code);
    }
  }
  return key;
}

bool SameNameInAnyCase(std::string_view a, std::string_view b) { return CaseKey(a) == CaseKey(b); }

bool NameOrder(const std::string& a, const std::string& b) {
  auto key_a = CaseKey(a);
  auto key_b = CaseKey(b);
  return key_a != key_b ? key_a < key_b : a < b;
}

enum class Kind { kFolder, kFile };

// The names of the folders or files in `folder`, in name order.
std::vector<std::string> EntryNames(const fs::path& folder, Kind kind) {
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) throw DiskError(error, errors::kPathNotFound);
  std::vector<std::string> names;
  for (const auto& entry : entries) {
    std::error_code status_error;
    auto name = entry.path().filename().string();
    bool wanted = kind == Kind::kFolder
                      ? entry.is_directory(status_error)
                      : entry.is_regular_file(status_error) && !TextStream::IsPendingWriteName(name);
    if (wanted) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), NameOrder);
  return names;
}

// The name, as it is on disk, of the folder or file `name` in `folder`.
std::optional<std::string> FindEntry(const fs::path& folder, std::string_view name, Kind kind) {
  if (!IsPlainName(name)) return std::nullopt;
  std::error_code error;
  auto exact = folder / std::string(name);
  if (kind == Kind::kFolder ? fs::is_directory(exact, error) : fs::is_regular_file(exact, error)) {
    return std::string(name);
  }
  if (!fs::is_directory(folder, error)) return std::nullopt;
  for (auto& candidate : EntryNames(folder, kind)) {
    if (SameNameInAnyCase(candidate, name)) return candidate;
  }
  return std::nullopt;
}

void RemoveTree(DiskWriter& disk, const fs::path& folder) {
  std::error_code error;
  // A folder reached through a link goes as a link: its target keeps its content.
  if (fs::is_symlink(fs::symlink_status(folder, error))) {
    if (auto remove_error = disk.RemoveFile(folder)) throw DiskError(remove_error, errors::kPathNotFound);
    return;
  }
  fs::directory_iterator entries(folder, error);
  if (error) throw DiskError(error, errors::kPathNotFound);
  std::vector<fs::directory_entry> content(begin(entries), end(entries));
  for (const auto& entry : content) {
    std::error_code status_error;
    // symlink_status: a link to a folder is removed as a link, so nothing
    // outside the folder being deleted is ever touched.
    if (fs::is_directory(entry.symlink_status(status_error))) {
      RemoveTree(disk, entry.path());
    } else if (auto remove_error = disk.RemoveFile(entry.path())) {
      throw DiskError(remove_error, errors::kFileNotFound);
    }
  }
  if (auto remove_error = disk.RemoveFolder(folder)) throw DiskError(remove_error, errors::kPathNotFound);
}

}  // namespace

Folder::Folder(std::filesystem::path path, std::shared_ptr<DiskWriter> disk)
    : path_(std::move(path)), disk_(std::move(disk)) {}

std::string Folder::Name() const { return path_.filename().string(); }

std::string Folder::Path() const { return path_.string(); }

std::optional<Folder> Folder::ParentFolder() const {
  if (!path_.has_relative_path()) return std::nullopt;
  return Folder(path_.parent_path(), disk_);
}

std::vector<Folder> Folder::SubFolders() const {
  std::vector<Folder> folders;
  for (const auto& name : EntryNames(path_, Kind::kFolder)) folders.emplace_back(path_ / name, disk_);
  return folders;
}

std::vector<File> Folder::Files() const {
  std::vector<File> files;
  for (const auto& name : EntryNames(path_, Kind::kFile)) files.emplace_back(path_ / name, disk_);
  return files;
}

std::optional<Folder> Folder::TrySubFolder(std::string_view name) const {
  auto found = FindEntry(path_, name, Kind::kFolder);
  if (!found) return std::nullopt;
  return Folder(path_ / *found, disk_);
}

std::optional<File> Folder::TryFile(std::string_view name) const {
  auto found = FindEntry(path_, name, Kind::kFile);
  if (!found) return std::nullopt;
  return File(path_ / *found, disk_);
}

Folder Folder::SubFolder(std::string_view name) const {
  auto found = TrySubFolder(name);
  if (!found) throw ComError::Platform(errors::kPathNotFound, "");
  return *found;
}

File Folder::FileNamed(std::string_view name) const {
  auto found = TryFile(name);
  if (!found) throw ComError::Platform(errors::kFileNotFound, "");
  return *found;
}

Folder Folder::AddSubFolder(std::string_view name) const {
  if (!IsPlainName(name)) throw ComError::Platform(errors::kInvalidProcedureCall, "");
  if (TrySubFolder(name) || TryFile(name)) throw ComError::Platform(errors::kFileAlreadyExists, "");
  auto path = path_ / std::string(name);
  if (auto error = disk_->MakeFolder(path)) throw DiskError(error, errors::kPathNotFound);
  return Folder(std::move(path), disk_);
}

bool Folder::SameName(std::string_view a, std::string_view b) { return SameNameInAnyCase(a, b); }

void Folder::Delete() const { RemoveTree(*disk_, path_); }

}  // namespace orvex::scripting
