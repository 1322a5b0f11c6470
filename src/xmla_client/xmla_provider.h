#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "provider/session.h"
#include "xmla_client/xmla_state.h"

namespace orvex::xmla_client {

// The provider name that reaches only XMLA data sources.
inline constexpr const char* kXmlaProviderName = "XMLA";

// The configured XMLA data sources by name (compared without regard to case).
class XmlaSources {
 public:
  // A later definition of a name replaces the earlier one.
  void Add(std::string name, XmlaSourceDefinition definition);
  bool Empty() const { return sources_.empty(); }
  // The source of that name, or nullptr.
  std::shared_ptr<XmlaSource> Find(std::string_view name) const;

 private:
  std::vector<std::shared_ptr<XmlaSource>> sources_;
};

// A provider factory whose sessions reach the XMLA source named by the
// connection's "Data Source" when there is one, and go to `fallback`
// otherwise (with no fallback an unknown name fails to connect). The name is
// only ever looked up: no connection string can name an address.
provider::ProviderFactory XmlaProviderFactory(std::shared_ptr<const XmlaSources> sources,
                                              provider::ProviderFactory fallback);

// Puts the XMLA sources before the providers registered under `names` (the
// embedded engine's), and registers the XMLA provider itself. Thread-safe.
void RegisterXmlaSources(std::shared_ptr<const XmlaSources> sources, const std::vector<std::string>& names);

}  // namespace orvex::xmla_client
