#include "host/engine_registration.h"

#include "engine/provider/embedded_provider.h"
#include "xmla_client/xmla_provider.h"

namespace orvex::host {

std::shared_ptr<engine::DataSources> DataSourcesOf(const ServerSettings& settings) {
  auto data_sources = std::make_shared<engine::DataSources>();
  data_sources->AddLocalNames(settings.catalogs);
  // A page reached through the address the server listens on names that
  // address as its server; a wildcard address names no host.
  if (settings.bind != "0.0.0.0" && settings.bind != "::" && !settings.bind.empty()) {
    data_sources->Add(settings.bind, settings.catalogs);
  }
  for (const auto& [name, root] : settings.data_sources) data_sources->Add(name, root);
  return data_sources;
}

void RegisterEngine(const ServerSettings& settings) {
  engine::EngineOptions options;
  options.max_cells = settings.max_cells;
  options.query_timeout = std::chrono::seconds(settings.query_timeout_seconds);
  options.max_statement_memory = settings.max_statement_memory;
  engine::RegisterEmbeddedProvider(DataSourcesOf(settings), options);
  // Names configured as XMLA sources go to the XMLA client, whichever provider a connection names.
  auto sources = std::make_shared<xmla_client::XmlaSources>();
  for (const auto& [name, definition] : settings.xmla_data_sources) {
    sources->Add(name, xmla_client::ParseXmlaSourceDefinition(definition));
  }
  if (!sources->Empty()) {
    xmla_client::RegisterXmlaSources(sources, {"MSOLAP", engine::kEmbeddedProviderName});
  }
}

}  // namespace orvex::host
