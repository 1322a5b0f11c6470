#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scripting/dictionary.h"
#include "provider/cellset_data.h"
#include "provider/member_search.h"
#include "provider/metadata.h"
#include "provider/tabular_data.h"

namespace orvex::provider {

// What a provider offers for one open connection to one data source. A session
// is used by one thread at a time; what it hands out is immutable and may be shared.
class Session {
 public:
  virtual ~Session() = default;
  // The catalogs of the data source, in name order.
  virtual std::vector<std::string> CatalogNames() = 0;
  // The cube definitions of a catalog; throws ComError for an unknown or broken catalog.
  virtual std::shared_ptr<CubeDefs> GetCubeDefs(const std::string& catalog) = 0;
  // Runs one MDX statement against a catalog; throws ComError with a message
  // that says what went wrong and where.
  virtual std::shared_ptr<CellsetData> Execute(const std::string& catalog, std::string_view mdx) = 0;
  // Members of a cube whose captions hold the search's text, ranked and paged,
  // as the session's role sees them. Throws ComError for an unknown cube,
  // hierarchy, level or parent member. By default walks the levels' members; a provider
  // with an index of captions answers faster.
  virtual MemberSearchPage SearchMembers(const std::string& catalog, const MemberSearch& search) {
    return SearchByWalkingLevels(*GetCubeDefs(catalog), search);
  }
  // A hint that searches in `cube` may follow: a provider with an index of
  // captions may start building it in the background. Returns at once; does
  // nothing by default and for a cube it does not know.
  virtual void PrepareMemberSearch(const std::string& catalog, const std::string& cube) {
    (void)catalog;
    (void)cube;
  }
  // Runs one DRILLTHROUGH statement against a catalog: the fact rows behind
  // the cell its SELECT designates. Throws ComError like Execute; this
  // default, for a provider without drill-through, says so.
  virtual TabularData Drillthrough(const std::string& catalog, std::string_view mdx);
};

// Opens a session for a connection string already parsed into its items
// ("Provider", "Data Source", ...); throws ComError when it cannot connect.
using ProviderFactory =
    std::function<std::unique_ptr<Session>(const Dictionary& connection_items, int timeout_seconds)>;

// The providers a connection can pick by its "Provider" value (names compare
// without regard to case). Registration replaces a provider of the same name.
// Thread-safe.
void RegisterProvider(const std::string& name, ProviderFactory factory);
void UnregisterProvider(const std::string& name);
// nullptr when no provider has that name.
ProviderFactory FindProvider(const std::string& name);

}  // namespace orvex::provider
