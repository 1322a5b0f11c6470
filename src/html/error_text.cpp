#include "html/error_text.h"

#include <cctype>
#include <regex>

namespace orvex::frontend {
namespace {

constexpr std::string_view kDetailsInLog = " The event log has the details.";

}  // namespace

bool RevealsServerDetail(std::string_view description) {
  // An absolute path of two parts or more ("/srv/data", "C:\cubes"), starting
  // a word or a quotation; a lone "/" is the division of a statement.
  static const std::regex kPath(R"((^|[\s'"(=:])(/[^\s/'"]+){2,}|(^|[\s'"(=])[A-Za-z]:[\\/][^\s])");
  // What the database client libraries say when a server cannot be reached:
  // these texts carry the host name, address and port.
  static const std::regex kServer(
      R"(PostgreSQL server|ClickHouse|server at |host "|host name|hostaddr|Connection refused|port \d{2,5})",
      std::regex::icase);
  const std::string text(description);
  return std::regex_search(text, kPath) || std::regex_search(text, kServer);
}

std::string PageErrorText(std::string_view description, std::string_view catalog) {
  if (!RevealsServerDetail(description)) return std::string(description);
  // "The catalog 'X' cannot be opened: <what the store said>": the part before
  // the store's own words names the catalog and what failed.
  constexpr std::string_view kCatalogPrefix = "The catalog '";
  if (description.starts_with(kCatalogPrefix)) {
    size_t name_end = description.find('\'', kCatalogPrefix.size());
    size_t colon = name_end == std::string_view::npos ? name_end : description.find(": ", name_end);
    if (colon != std::string_view::npos) {
      std::string head(description.substr(0, colon));
      if (!RevealsServerDetail(head)) return head + "." + std::string(kDetailsInLog);
    }
  }
  if (catalog.empty()) return "The data of this view cannot be reached." + std::string(kDetailsInLog);
  return "The catalog '" + std::string(catalog) + "' cannot be used." + std::string(kDetailsInLog);
}

}  // namespace orvex::frontend
