#include "engine/provider/embedded_provider.h"

#include "engine/provider/engine_session.h"
#include "platform/text.h"
#include "provider/session.h"

namespace orvex::engine {

void RegisterEmbeddedProvider(std::shared_ptr<DataSources> data_sources, EngineOptions options) {
  provider::ProviderFactory factory = [data_sources, options](const Dictionary& items, int /*timeout_seconds*/) {
    std::string data_source = Trim(items.Item("Data Source").ToString());
    std::string role = items.Exists("Role") ? Trim(items.Item("Role").ToString()) : std::string();
    return std::make_unique<EngineSession>(data_sources, std::move(data_source), options, std::move(role));
  };
  provider::RegisterProvider("MSOLAP", factory);
  provider::RegisterProvider(kEmbeddedProviderName, factory);
}

}  // namespace orvex::engine
