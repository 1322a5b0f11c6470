#include "host/static_files.h"

#include <map>
#include <stdexcept>

#include "platform/text.h"

namespace orvex::host {
namespace {

// Whether `path` is `root` or lies below it; both canonical.
bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& root) {
  auto [root_end, path_at] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return root_end == root.end();
}

}  // namespace

StaticFiles::StaticFiles(const std::filesystem::path& web_root, std::string site_prefix)
    : site_prefix_(std::move(site_prefix)) {
  std::error_code error;
  root_ = std::filesystem::canonical(web_root, error);
  if (error || !std::filesystem::is_directory(root_)) {
    throw std::runtime_error("the web root '" + web_root.string() + "' is not a folder");
  }
  if (site_prefix_.empty() || site_prefix_.front() != '/') site_prefix_.insert(0, "/");
  if (site_prefix_.back() != '/') site_prefix_ += '/';
}

std::optional<std::filesystem::path> StaticFiles::Resolve(std::string_view url_path) const {
  if (url_path.rfind(site_prefix_, 0) != 0) return std::nullopt;
  if (url_path.find('\0') != std::string_view::npos || url_path.find('\\') != std::string_view::npos) {
    return std::nullopt;
  }
  std::filesystem::path candidate = root_;
  for (const std::string& part : Split(url_path.substr(site_prefix_.size()), "/")) {
    if (part.empty()) continue;
    // No climbing, and no hidden files.
    if (part.front() == '.') return std::nullopt;
    candidate /= part;
  }
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(candidate, error);
  if (error || !IsWithin(resolved, root_) || !std::filesystem::is_regular_file(resolved, error)) {
    return std::nullopt;
  }
  return resolved;
}

std::string ContentTypeOf(const std::filesystem::path& file) {
  static const std::map<std::string, std::string> types = {
      {".htm", "text/html; charset=utf-8"},
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".txt", "text/plain; charset=utf-8"},
      {".xml", "text/xml; charset=utf-8"},
      {".json", "application/json"},
      {".gif", "image/gif"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
  };
  auto found = types.find(ToLower(file.extension().string()));
  return found == types.end() ? "application/octet-stream" : found->second;
}

}  // namespace orvex::host
