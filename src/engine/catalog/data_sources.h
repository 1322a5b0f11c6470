#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/model/catalog.h"

namespace orvex::engine {

// The data sources the engine serves: each name maps to a root folder whose
// subfolders are catalogs. A name is only ever looked up here, never taken as
// a path or a host, so a client cannot make the server open what it chooses.
// Catalogs are loaded once, on first use, and shared; a catalog once loaded
// is served from memory, even if its folder is renamed or removed later (the
// folder is listed only for a name not yet loaded). Thread-safe.
class DataSources {
 public:
  // Adds or replaces a data source name (compared without regard to case).
  void Add(const std::string& name, const std::filesystem::path& root);
  // "localhost", "127.0.0.1", the machine's host name and "::1" to `root`.
  void AddLocalNames(const std::filesystem::path& root);
  bool Knows(const std::string& name) const;

  // Catalog names of a data source, in name order; throws ComError for an unknown name.
  std::vector<std::string> CatalogNames(const std::string& data_source) const;
  // The loaded catalog; throws ComError for an unknown data source or catalog,
  // or one that cannot be opened (missing schema or data, broken schema).
  std::shared_ptr<const Catalog> OpenCatalog(const std::string& data_source, const std::string& catalog) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::filesystem::path> roots_;  // guarded by mutex_; keys lower case
  mutable std::map<std::filesystem::path, std::shared_ptr<const Catalog>> catalogs_;  // guarded by mutex_; by folder
  // The same catalogs by root and catalog name in lower case, as statements ask for them.
  mutable std::map<std::pair<std::filesystem::path, std::string>, std::shared_ptr<const Catalog>>
      by_name_;  // guarded by mutex_
};

}  // namespace orvex::engine
