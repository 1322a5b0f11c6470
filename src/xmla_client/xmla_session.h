#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "provider/session.h"
#include "xmla_client/xmla_state.h"

namespace orvex::xmla_client {

// A provider session over a remote XMLA server: catalogs, cubes and members
// through Discover, statements through one Execute each, all within one
// server session that ends with this object. Metadata is fetched once per
// session. One thread at a time; what it hands out may be shared and keeps
// what it needs alive.
class XmlaSession final : public provider::Session {
 public:
  // Connects to nothing yet: the first request does.
  XmlaSession(std::shared_ptr<XmlaSource> source, int connect_timeout_seconds);
  XmlaSession(const XmlaSession&) = delete;
  XmlaSession& operator=(const XmlaSession&) = delete;
  ~XmlaSession() override;

  std::vector<std::string> CatalogNames() override;
  // Throws ComError for a catalog the server does not list.
  std::shared_ptr<provider::CubeDefs> GetCubeDefs(const std::string& catalog) override;
  // Throws ComError carrying the server's own message when the statement fails there.
  std::shared_ptr<provider::CellsetData> Execute(const std::string& catalog, std::string_view mdx) override;
  // Throws ComError carrying the server's own message when it refuses the statement.
  provider::TabularData Drillthrough(const std::string& catalog, std::string_view mdx) override;

  // HTTP requests sent so far, for tests and benchmarks.
  int RequestCount() const { return state_->RequestCount(); }

 private:
  std::shared_ptr<XmlaState> state_;
};

}  // namespace orvex::xmla_client
