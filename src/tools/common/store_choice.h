#pragma once
#include <filesystem>
#include <string>

#include "tools/common/command_line.h"

namespace orvex::tools {

// Writes the catalog folder's store.conf for `--store clickhouse --url URL
// [--database DB] [--cluster NAME]`, shared by the tools that fill a catalog.
// Without --store nothing is written. Returns "" on success, else the
// message of a usage error (nothing written then).
std::string WriteStoreChoice(const CommandLine& command_line, const std::filesystem::path& folder);

}  // namespace orvex::tools
