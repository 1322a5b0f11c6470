#pragma once
#include <filesystem>
#include <memory>
#include <string>

#include "platform/scripting/disk_writer.h"
#include "platform/scripting/text_stream.h"

namespace orvex::scripting {

class Folder;

// A file of the scripting file system: a handle on a path. Cheap to copy; one
// thread at a time.
class File {
 public:
  File(std::filesystem::path path, std::shared_ptr<DiskWriter> disk);

  // The file's name with its extension.
  std::string Name() const;
  std::string Path() const;
  Folder ParentFolder() const;

  // Opens the file for reading. Throws 53 when it is gone, 70 when it may not be read.
  TextStream OpenAsTextStream() const;
  // Removes the file (a symbolic link itself, not its target). Throws 53 when it is gone.
  void Delete() const;

 private:
  std::filesystem::path path_;
  std::shared_ptr<DiskWriter> disk_;
};

}  // namespace orvex::scripting
