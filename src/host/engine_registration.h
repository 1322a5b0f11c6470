#pragma once
#include <memory>

#include "engine/catalog/data_sources.h"
#include "host/server_settings.h"

namespace orvex::host {

// The data sources of the settings: the server's own names (localhost,
// 127.0.0.1, ::1, the host name, and the bind address when it names one host)
// for the catalog root of --catalogs, then every --data-source NAME=DIR, a
// later name replacing an earlier one.
std::shared_ptr<engine::DataSources> DataSourcesOf(const ServerSettings& settings);

// Registers the embedded engine as the provider of every connection, serving
// the data sources of the settings, and the XMLA client for the names the
// settings define as XMLA sources. Replaces an earlier registration.
void RegisterEngine(const ServerSettings& settings);

}  // namespace orvex::host
