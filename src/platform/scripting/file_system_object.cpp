#include "platform/scripting/file_system_object.h"

#include <utility>

namespace orvex::scripting {
namespace {

namespace fs = std::filesystem;

// An absolute path without a trailing separator, so that Name and ParentFolder
// see the last real part.
fs::path Normalized(const fs::path& path) {
  auto normal = fs::absolute(path).lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

std::string_view LastPart(std::string_view path) {
  auto separator = path.find_last_of('/');
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

FileSystemObject::FileSystemObject(std::shared_ptr<DiskWriter> disk) : disk_(std::move(disk)) {}

std::string FileSystemObject::BuildPath(std::string_view path, std::string_view name) {
  if (path.empty()) return std::string(name);
  while (name.starts_with('/')) name.remove_prefix(1);
  std::string joined(path);
  if (!joined.ends_with('/')) joined += '/';
  return joined.append(name);
}

std::string FileSystemObject::GetBaseName(std::string_view path) {
  auto name = LastPart(path);
  return std::string(name.substr(0, name.find_last_of('.')));
}

std::string FileSystemObject::GetExtensionName(std::string_view path) {
  auto name = LastPart(path);
  auto dot = name.find_last_of('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

bool FileSystemObject::FolderExists(const fs::path& path) const {
  std::error_code error;
  return fs::is_directory(path, error);
}

Folder FileSystemObject::GetFolder(const fs::path& path) const {
  if (!FolderExists(path)) throw ComError::Platform(errors::kPathNotFound, "");
  return Folder(Normalized(path), disk_);
}

File FileSystemObject::GetFile(const fs::path& path) const {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) throw ComError::Platform(errors::kFileNotFound, "");
  return File(Normalized(path), disk_);
}

Folder FileSystemObject::CreateFolder(const fs::path& path) const {
  auto normal = Normalized(path);
  if (auto error = disk_->MakeFolder(normal)) throw DiskError(error, errors::kPathNotFound);
  return Folder(std::move(normal), disk_);
}

TextStream FileSystemObject::CreateTextFile(const fs::path& path, bool overwrite) const {
  auto target = Normalized(path);
  auto folder = GetFolder(target.parent_path());
  if (auto existing = folder.TryFile(target.filename().string())) {
    if (!overwrite) throw ComError::Platform(errors::kFileAlreadyExists, "");
    target = existing->Path();
  }
  return TextStream::CreateForWriting(disk_, target, overwrite);
}

}  // namespace orvex::scripting
