#include "platform/scripting/file.h"

#include <utility>

#include "platform/scripting/folder.h"

namespace orvex::scripting {

File::File(std::filesystem::path path, std::shared_ptr<DiskWriter> disk)
    : path_(std::move(path)), disk_(std::move(disk)) {}

std::string File::Name() const { return path_.filename().string(); }

std::string File::Path() const { return path_.string(); }

Folder File::ParentFolder() const { return Folder(path_.parent_path(), disk_); }

TextStream File::OpenAsTextStream() const { return TextStream::OpenForReading(path_); }

void File::Delete() const {
  if (auto error = disk_->RemoveFile(path_)) throw DiskError(error, errors::kFileNotFound);
}

}  // namespace orvex::scripting
