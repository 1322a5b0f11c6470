#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orvex::host {

// A command line that cannot be used; what() says why, for the user.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Everything orvex-server is told on its command line: where it listens, the
// site it serves, and the settings that the hosting page applies to every
// request's Orvex alike.
struct ServerSettings {
  int port = 8080;                     // 0: any free port
  std::string bind = "127.0.0.1";
  std::filesystem::path web_root = "web";
  std::string page = "/";              // the hosting page's path
  int threads = 8;
  size_t max_request_bytes = 8 * 1024 * 1024;
  // The most cells one MDX statement may produce before it fails.
  int64_t max_cells = 1'000'000;
  // Seconds one statement may run, and the bytes of tuples and values it may
  // hold as the engine counts them; past either it fails. Zero: no limit.
  int64_t query_timeout_seconds = 60;
  int64_t max_statement_memory = int64_t{512} * 1024 * 1024;

  // Data sources: the default catalog root, and names mapped to their own roots.
  std::filesystem::path catalogs = "data/catalogs";
  std::vector<std::pair<std::string, std::filesystem::path>> data_sources;
  // Names whose cubes are on another XMLA server: NAME and its "xmla:URL[;...]" definition.
  std::vector<std::pair<std::string, std::string>> xmla_data_sources;
  std::string default_data_source;

  // Sections of the parameters pane to leave out, in the order given:
  // data-source, catalog, cube, measure, axes, ranges, saved-views.
  std::vector<std::string> hidden_sections;

  // The saved-views store; unset values keep the store's own defaults.
  std::optional<std::filesystem::path> views_dir;
  std::optional<int32_t> max_files_per_folder;
  std::optional<int32_t> max_folders_per_folder;
  std::optional<int32_t> max_folder_depth;
  std::optional<int32_t> max_name_length;
  std::optional<std::string> file_extension;

  // The locale of every worker thread (--lang en: 1033, nl: 1043); unset
  // leaves it to the environment's LANG.
  std::optional<int32_t> locale;

  // The size at which the event log is rotated; 0 never rotates.
  uint64_t event_log_max_bytes = 10 * 1024 * 1024;

  // The XML for Analysis endpoint: its path, or none with --no-xmla.
  std::string xmla_path = "/xmla";
  // The JSON API's prefix: calls are /api/NAME.
  std::string api_path = "/api/";
  bool xmla = true;

  // The analyst's page: its path; its files are those of the web root's explore/ folder.
  std::string explore_path = "/explore";

  // --users FILE: only its users may use the server (HTTP Basic authentication).
  std::optional<std::filesystem::path> users_file;
  // --hash-password: print the hash of the password read from standard input, then stop.
  bool hash_password = false;

  bool show_help = false;
};

// The sections --hide accepts.
const std::vector<std::string>& SectionNames();

// Reads the command line (without the program name). Throws UsageError for an
// unknown flag, a missing or malformed value, or a value out of range.
ServerSettings ParseServerArguments(const std::vector<std::string>& arguments);

// What --help prints.
std::string UsageText();

}  // namespace orvex::host
