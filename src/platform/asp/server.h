#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/com/variant.h"

namespace orvex::asp {

// The hosting page's Server object: only MapPath is offered.
class Server : public ComObject {
 public:
  std::string TypeName() const override { return "IServer"; }

  // The file that a site path names, relative to the hosting page's folder
  // ("styles/default.css") or to the site's root ("/styles/default.css").
  // Throws ComError 5 for a path that would leave the site.
  virtual std::filesystem::path MapPath(std::string_view path) const = 0;
};

// A server whose site is one folder on disk (the web root): the hosting page
// stands at the root, so both kinds of path map below the folder.
class FolderServer : public Server {
 public:
  explicit FolderServer(std::filesystem::path root) : root_(std::move(root)) {}
  std::filesystem::path MapPath(std::string_view path) const override;

 private:
  std::filesystem::path root_;
};

}  // namespace orvex::asp
