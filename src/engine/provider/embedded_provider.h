#pragma once
#include <memory>

#include "engine/catalog/data_sources.h"
#include "engine/eval/engine_options.h"

namespace orvex::engine {

// The engine's own provider name; "MSOLAP", the default of connection
// strings, selects the engine as well.
inline constexpr const char* kEmbeddedProviderName = "Orvex";

// Registers the embedded engine with the provider registry under "MSOLAP" and
// "Orvex", serving the data sources of `data_sources`: a connection's
// "Data Source" is looked up there by name, and an unknown name fails to
// connect. Registering again replaces the earlier registration. Thread-safe.
void RegisterEmbeddedProvider(std::shared_ptr<DataSources> data_sources, EngineOptions options = {});

}  // namespace orvex::engine
