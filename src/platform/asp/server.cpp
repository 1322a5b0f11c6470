#include "platform/asp/server.h"

#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::asp {

std::filesystem::path FolderServer::MapPath(std::string_view path) const {
  // Walk the path's parts so that ".." may climb within the site but never above it.
  std::filesystem::path mapped = root_;
  int depth = 0;
  for (const std::string& part : Split(ReplaceAll(path, "\\", "/"), "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (depth == 0) {
        throw ComError(errors::kInvalidProcedureCall, "Server.MapPath",
                       "The '..' characters are not allowed in the Path parameter for the MapPath method.");
      }
      mapped = mapped.parent_path();
      --depth;
      continue;
    }
    mapped /= part;
    ++depth;
  }
  return mapped;
}

}  // namespace orvex::asp
