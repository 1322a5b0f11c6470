#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::host {

// The static files of the site: the files below the web root, reached at
// URL paths below the hosting page's folder. No path ever reaches outside the
// root: ".." and "." parts, hidden names, NUL and backslashes are refused,
// and a symbolic link that leads out of the root is treated as missing.
// Immutable after construction; any thread may use it.
class StaticFiles {
 public:
  // `web_root` must be an existing folder (throws std::runtime_error
  // otherwise); `site_prefix` is the URL folder the files appear under ("/").
  StaticFiles(const std::filesystem::path& web_root, std::string site_prefix);

  // The regular file that the decoded URL path names; nullopt for anything
  // else (missing, a folder, or refused).
  [[nodiscard]] std::optional<std::filesystem::path> Resolve(std::string_view url_path) const;

  const std::filesystem::path& Root() const { return root_; }

 private:
  std::filesystem::path root_;  // canonical
  std::string site_prefix_;     // starts and ends with "/"
};

// The media type sent for a file, by its extension; text types in UTF-8.
std::string ContentTypeOf(const std::filesystem::path& file);

}  // namespace orvex::host
