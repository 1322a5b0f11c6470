#include "engine/catalog/data_sources.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "engine/catalog/catalog_loader.h"
#include "engine/common/engine_error.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

// The catalog folders under `root`: subfolders holding a schema.xml, hidden ones left out.
std::vector<std::filesystem::path> CatalogFolders(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> folders;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end; entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code status_error;
    if (entry->is_directory(status_error) && std::filesystem::is_regular_file(entry->path() / "schema.xml", status_error)) {
      folders.push_back(entry->path());
    }
  }
  std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
    std::string left = ToLower(a.filename().string()), right = ToLower(b.filename().string());
    return left != right ? left < right : a.filename() < b.filename();
  });
  return folders;
}

}  // namespace

void DataSources::Add(const std::string& name, const std::filesystem::path& root) {
  std::lock_guard lock(mutex_);
  roots_[ToLower(name)] = root;
}

void DataSources::AddLocalNames(const std::filesystem::path& root) {
  for (const char* name : {"localhost", "127.0.0.1", "::1"}) Add(name, root);
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) == 0 && host[0] != '\0') Add(host, root);
}

bool DataSources::Knows(const std::string& name) const {
  std::lock_guard lock(mutex_);
  return roots_.count(ToLower(name)) > 0;
}

std::vector<std::string> DataSources::CatalogNames(const std::string& data_source) const {
  std::filesystem::path root;
  {
    std::lock_guard lock(mutex_);
    auto found = roots_.find(ToLower(data_source));
    if (found == roots_.end()) throw EngineError("The data source '" + data_source + "' is not known to this server.");
    root = found->second;
  }
  std::vector<std::string> names;
  for (const auto& folder : CatalogFolders(root)) names.push_back(folder.filename().string());
  return names;
}

std::shared_ptr<const Catalog> DataSources::OpenCatalog(const std::string& data_source,
                                                        const std::string& catalog) const {
  std::filesystem::path root;
  const std::string catalog_key = ToLower(catalog);
  {
    std::lock_guard lock(mutex_);
    auto found = roots_.find(ToLower(data_source));
    if (found == roots_.end()) throw EngineError("The data source '" + data_source + "' is not known to this server.");
    root = found->second;
    // Every statement asks for its catalog: one already loaded is found by
    // name, without listing the folder.
    auto loaded = by_name_.find({root, catalog_key});
    if (loaded != by_name_.end()) return loaded->second;
  }
  // A miss lists the folder outside the lock. The catalog is looked up among
  // the folders that are there, never joined to the root as a path: "../x"
  // names no catalog.
  std::filesystem::path folder;
  for (const auto& candidate : CatalogFolders(root)) {
    if (EqualsIgnoreCase(candidate.filename().string(), catalog)) {
      folder = candidate;
      break;
    }
  }
  if (folder.empty()) {
    throw EngineError("The catalog '" + catalog + "' does not exist in the data source '" + data_source + "'.");
  }
  {
    std::lock_guard lock(mutex_);
    auto loaded = catalogs_.find(folder);
    if (loaded != catalogs_.end()) {
      by_name_.emplace(std::make_pair(root, catalog_key), loaded->second);
      return loaded->second;
    }
  }
  // Loading reads the schema and opens the store; it runs outside the lock
  // so that other catalogs stay available meanwhile. Two threads may load the
  // same catalog at once; the first to finish is kept.
  std::shared_ptr<const Catalog> opened = CatalogLoader::Load(folder);
  std::lock_guard lock(mutex_);
  auto [entry, added] = catalogs_.emplace(folder, opened);
  by_name_.emplace(std::make_pair(root, catalog_key), entry->second);
  return entry->second;
}

}  // namespace orvex::engine
