#include "xmla_client/xmla_provider.h"

#include "platform/com/com_error.h"
#include "platform/text.h"
#include "xmla_client/soap_client.h"
#include "xmla_client/xmla_session.h"
#include "xmla_client/xmla_state.h"

namespace orvex::xmla_client {

void XmlaSources::Add(std::string name, XmlaSourceDefinition definition) {
  std::erase_if(sources_, [&](const auto& source) { return EqualsIgnoreCase(source->name(), name); });
  sources_.push_back(std::make_shared<XmlaSource>(std::move(name), std::move(definition)));
}

std::shared_ptr<XmlaSource> XmlaSources::Find(std::string_view name) const {
  for (const auto& source : sources_) {
    if (EqualsIgnoreCase(source->name(), name)) return source;
  }
  return nullptr;
}

provider::ProviderFactory XmlaProviderFactory(std::shared_ptr<const XmlaSources> sources,
                                              provider::ProviderFactory fallback) {
  return [sources, fallback](const Dictionary& items, int timeout_seconds) -> std::unique_ptr<provider::Session> {
    std::string name = Trim(items.Item("Data Source").ToString());
    if (auto source = sources->Find(name)) return std::make_unique<XmlaSession>(source, timeout_seconds);
    if (fallback) return fallback(items, timeout_seconds);
    throw ComError(kXmlaClientErrorNumber, kXmlaClientErrorSource,
                   "The data source '" + name + "' is not known to this server.");
  };
}

void RegisterXmlaSources(std::shared_ptr<const XmlaSources> sources, const std::vector<std::string>& names) {
  for (const auto& name : names) provider::RegisterProvider(name, XmlaProviderFactory(sources, provider::FindProvider(name)));
  provider::RegisterProvider(kXmlaProviderName, XmlaProviderFactory(sources, nullptr));
}

}  // namespace orvex::xmla_client
