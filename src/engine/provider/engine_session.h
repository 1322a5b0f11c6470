#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalog/data_sources.h"
#include "engine/eval/engine_options.h"
#include "provider/session.h"

namespace orvex::engine {

// A provider session over one data source of the engine. The data source is
// only ever looked up by name in `data_sources`, never taken as a path or a
// host. One thread at a time (like every session); what it hands out is
// immutable and may be shared.
class EngineSession final : public provider::Session {
 public:
  // Throws ComError naming the data source when `data_sources` does not know
  // it. With a `role`, every catalog is seen as the schema's role of that
  // name lets it be seen; a catalog without that role refuses to open.
  EngineSession(std::shared_ptr<DataSources> data_sources, std::string data_source, EngineOptions options,
                std::string role = "");

  std::vector<std::string> CatalogNames() override;
  std::shared_ptr<provider::CubeDefs> GetCubeDefs(const std::string& catalog) override;
  std::shared_ptr<provider::CellsetData> Execute(const std::string& catalog, std::string_view mdx) override;
  // Through each hierarchy's index of folded captions, built once per loaded
  // catalog and role.
  provider::MemberSearchPage SearchMembers(const std::string& catalog, const provider::MemberSearch& search) override;
  // Queues the indexes of the hierarchies a search of the whole cube reads.
  // Throws ComError, as GetCubeDefs does, when the catalog cannot be opened.
  void PrepareMemberSearch(const std::string& catalog, const std::string& cube) override;
  // Integers as numbers (past 2^53 as their exact text), exact decimals as
  // doubles, NULL as a null.
  provider::TabularData Drillthrough(const std::string& catalog, std::string_view mdx) override;

 private:
  // The catalog as this session's role sees it.
  std::shared_ptr<const Catalog> OpenCatalog(const std::string& catalog) const;

  std::shared_ptr<DataSources> data_sources_;
  std::string data_source_;
  EngineOptions options_;
  std::string role_;
};

}  // namespace orvex::engine
