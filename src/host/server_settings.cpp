#include "host/server_settings.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

#include "platform/com/com_error.h"
#include "platform/runtime/runtime.h"
#include "platform/text.h"
#include "webfs/web_file_system.h"
#include "xmla_client/xmla_source.h"

namespace orvex::host {
namespace {

int64_t ParseInteger(const std::string& flag, const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw UsageError(flag + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                     ", not '" + text + "'");
  }
  return value;
}

int32_t ParseLimit(const std::string& flag, const std::string& text) {
  return static_cast<int32_t>(ParseInteger(flag, text, 0, INT32_MAX));
}

}  // namespace

const std::vector<std::string>& SectionNames() {
  static const std::vector<std::string> names = {"data-source", "catalog", "cube",       "measure",
                                                 "axes",        "ranges",  "saved-views"};
  return names;
}

ServerSettings ParseServerArguments(const std::vector<std::string>& arguments) {
  ServerSettings settings;
  using Apply = std::function<void(const std::string& flag, const std::string& value)>;
  const std::map<std::string, Apply> flags = {
      {"--port", [&](auto& f, auto& v) { settings.port = static_cast<int>(ParseInteger(f, v, 0, 65535)); }},
      {"--bind", [&](auto&, auto& v) { settings.bind = v; }},
      {"--web-root", [&](auto&, auto& v) { settings.web_root = v; }},
      {"--page",
       [&](auto& f, auto& v) {
         if (v.empty() || v[0] != '/' || v.find_first_of("?#") != std::string::npos) {
           throw UsageError(f + " takes a path that starts with '/', not '" + v + "'");
         }
         settings.page = v;
       }},
      {"--threads", [&](auto& f, auto& v) { settings.threads = static_cast<int>(ParseInteger(f, v, 1, 1024)); }},
      {"--max-request-size",
       [&](auto& f, auto& v) { settings.max_request_bytes = static_cast<size_t>(ParseInteger(f, v, 1, INT64_MAX)); }},
      {"--max-cells", [&](auto& f, auto& v) { settings.max_cells = ParseInteger(f, v, 1, INT64_MAX); }},
      {"--query-timeout",
       [&](auto& f, auto& v) { settings.query_timeout_seconds = ParseInteger(f, v, 0, 7 * 24 * 3600); }},
      {"--max-statement-memory",
       [&](auto& f, auto& v) { settings.max_statement_memory = ParseInteger(f, v, 0, INT64_MAX); }},
      {"--catalogs", [&](auto&, auto& v) { settings.catalogs = v; }},
      {"--data-source",
       [&](auto& f, auto& v) {
         size_t equals = v.find('=');
         if (equals == 0 || equals == std::string::npos || equals + 1 == v.size()) {
           throw UsageError(f + " takes NAME=DIR or NAME=xmla:URL, not '" + v + "'");
         }
         std::string name = v.substr(0, equals);
         std::string value = v.substr(equals + 1);
         // A later definition of a name replaces an earlier one of either kind.
         std::erase_if(settings.data_sources, [&](const auto& entry) { return EqualsIgnoreCase(entry.first, name); });
         std::erase_if(settings.xmla_data_sources,
                       [&](const auto& entry) { return EqualsIgnoreCase(entry.first, name); });
         if (xmla_client::IsXmlaSourceDefinition(value)) {
           try {
             (void)xmla_client::ParseXmlaSourceDefinition(value);
           } catch (const ComError& error) {
             throw UsageError(f + ": " + error.description());
           }
           settings.xmla_data_sources.emplace_back(std::move(name), std::move(value));
         } else {
           settings.data_sources.emplace_back(std::move(name), std::move(value));
         }
       }},
      {"--default-data-source", [&](auto&, auto& v) { settings.default_data_source = v; }},
      {"--hide",
       [&](auto& f, auto& v) {
         const auto& names = SectionNames();
         if (std::find(names.begin(), names.end(), v) == names.end()) {
           throw UsageError(f + " takes one of data-source, catalog, cube, measure, axes, ranges, saved-views, not '" +
                            v + "'");
         }
         settings.hidden_sections.push_back(v);
       }},
      {"--views-dir", [&](auto&, auto& v) { settings.views_dir = v; }},
      {"--max-files-per-folder", [&](auto& f, auto& v) { settings.max_files_per_folder = ParseLimit(f, v); }},
      {"--max-folders-per-folder", [&](auto& f, auto& v) { settings.max_folders_per_folder = ParseLimit(f, v); }},
      {"--max-folder-depth", [&](auto& f, auto& v) { settings.max_folder_depth = ParseLimit(f, v); }},
      {"--max-name-length", [&](auto& f, auto& v) { settings.max_name_length = ParseLimit(f, v); }},
      {"--file-extension",
       [&](auto& f, auto& v) {
         // Checked here rather than on every request, where a bad one would fail every page.
         try {
           WebFileSystem().IsValidName(v);
         } catch (const ComError&) {
           throw UsageError(f + " takes a name of at most 50 characters without a full stop or any of "
                                "\\/:*?\"<>|, not '" + v + "'");
         }
         settings.file_extension = v;
       }},
      {"--event-log-max-bytes",
       [&](auto& f, auto& v) { settings.event_log_max_bytes = static_cast<uint64_t>(ParseInteger(f, v, 0, INT64_MAX)); }},
      {"--xmla-path",
       [&](auto& f, auto& v) {
         if (v.empty() || v[0] != '/' || v.find_first_of("?#") != std::string::npos) {
           throw UsageError(f + " takes a path that starts with '/', not '" + v + "'");
         }
         settings.xmla_path = v;
       }},
      {"--explore-path",
       [&](auto& f, auto& v) {
         // The path is written into the page's base address, so only characters that need no escaping pass.
         const bool plain = v.find_first_not_of(
                                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/-_.") == std::string::npos;
         if (v.size() < 2 || v[0] != '/' || v.back() == '/' || !plain || v.find("/.") != std::string::npos) {
           throw UsageError(f + " takes a path of letters, digits, '-', '_' and '/' that starts with '/', not '" + v +
                            "'");
         }
         settings.explore_path = v;
       }},
      {"--users", [&](auto&, auto& v) { settings.users_file = v; }},
      {"--lang",
       [&](auto& f, auto& v) {
         if (v == "en") {
           settings.locale = runtime::kLocaleEnglishUs;
         } else if (v == "nl") {
           settings.locale = runtime::kLocaleDutch;
         } else {
           throw UsageError(f + " takes en or nl, not '" + v + "'");
         }
       }},
  };

  for (size_t index = 0; index < arguments.size(); ++index) {
    std::string flag = arguments[index];
    if (flag == "--help" || flag == "-h") {
      settings.show_help = true;
      continue;
    }
    if (flag == "--no-xmla") {
      settings.xmla = false;
      continue;
    }
    if (flag == "--hash-password") {
      settings.hash_password = true;
      continue;
    }
    std::string value;
    bool has_value = false;
    if (size_t equals = flag.find('='); flag.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = flag.substr(equals + 1);
      flag = flag.substr(0, equals);
      has_value = true;
    }
    auto found = flags.find(flag);
    if (found == flags.end()) throw UsageError("unknown option '" + arguments[index] + "'");
    if (!has_value) {
      if (index + 1 >= arguments.size()) throw UsageError(flag + " needs a value");
      value = arguments[++index];
    }
    found->second(flag, value);
  }
  return settings;
}

std::string UsageText() {
  return R"(Usage: orvex-server [options]

Serves the Orvex explorer: the hosting page and the static files of the web root.

  --port N                      port to listen on (8080; 0 picks a free port)
  --bind ADDRESS                address to listen on (127.0.0.1)
  --web-root DIR                folder of the static files (web)
  --page PATH                   path of the hosting page (/)
  --threads N                   worker threads (8)
  --max-request-size BYTES      largest request body accepted (8388608)
  --max-cells N                 most cells one statement may produce (1000000)
  --query-timeout SECONDS       longest one statement may run, 0 for no limit (60)
  --max-statement-memory BYTES  memory one statement's tuples and values may take, 0 for no limit (536870912)
  --catalogs DIR                catalog root of the local data sources (data/catalogs)
  --data-source NAME=DIR        another data source and its catalog root (repeatable)
  --data-source NAME=xmla:URL[;Catalog=C;User=U;Password=P;Timeout=S]
                                a data source whose cubes are on another XMLA server
  --default-data-source NAME    data source of views that name none
  --hide SECTION                leave a section out of the parameters pane (repeatable):
                                data-source, catalog, cube, measure, axes, ranges, saved-views
  --views-dir DIR               root folder of the saved views (created when missing)
  --max-files-per-folder N      saved views per folder
  --max-folders-per-folder N    folders per folder
  --max-folder-depth N          depth of folders below the root
  --max-name-length N           characters in a folder or view name
  --file-extension EXT          extension of saved view files (xml)
  --lang en|nl                  language of the pages (default: from LANG)
  --event-log-max-bytes BYTES   size at which the event log is rotated, three old files kept
                                (10485760; 0 never rotates)
  --xmla-path PATH              path of the XML for Analysis endpoint (/xmla)
  --no-xmla                     serve no XML for Analysis endpoint
  --explore-path PATH           path of the analyst's page (/explore); its files below PATH/
  --users FILE                  only these users may use the server (HTTP Basic authentication);
                                a line per user: NAME HASH [ROLE], the role one of the schema's
  --hash-password               print the HASH of the password read from standard input
  --help                        this text
)";
}

}  // namespace orvex::host
