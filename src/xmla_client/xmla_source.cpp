#include "xmla_client/xmla_source.h"

#include <charconv>
#include <optional>

#include "platform/com/com_error.h"
#include "platform/text.h"
#include "provider/connection_string.h"
#include "xmla_client/soap_client.h"

namespace orvex::xmla_client {
namespace {

constexpr std::string_view kPrefix = "xmla:";

ComError DefinitionError(std::string_view text, const std::string& reason) {
  return ComError(kXmlaClientErrorNumber, kXmlaClientErrorSource,
                  "The XMLA data source '" + std::string(text) + "' cannot be used: " + reason);
}

// A whole number from minimum to maximum, or nullopt.
std::optional<int> Number(std::string_view text, int minimum, int maximum) {
  int value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < minimum || value > maximum) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

bool IsXmlaSourceDefinition(std::string_view text) {
  return text.size() >= kPrefix.size() && EqualsIgnoreCase(text.substr(0, kPrefix.size()), kPrefix);
}

XmlaSourceDefinition ParseXmlaSourceDefinition(std::string_view text) {
  if (!IsXmlaSourceDefinition(text)) throw DefinitionError(text, "it does not start with xmla:");
  std::string_view rest = text.substr(kPrefix.size());
  size_t semicolon = rest.find(';');
  XmlaSourceDefinition definition;
  definition.url = Trim(rest.substr(0, semicolon));
  std::string_view url = definition.url;
  // Only plain HTTP: the HTTP library is built without TLS here.
  constexpr std::string_view kScheme = "http://";
  if (url.size() < kScheme.size() || !EqualsIgnoreCase(url.substr(0, kScheme.size()), kScheme)) {
    throw DefinitionError(text, "the address must start with http://");
  }
  std::string_view authority = url.substr(kScheme.size());
  size_t slash = authority.find('/');
  definition.path = slash == std::string_view::npos ? "/" : std::string(authority.substr(slash));
  authority = authority.substr(0, slash);
  if (authority.find('@') != std::string_view::npos) {
    throw DefinitionError(text, "give the user as User= and Password=, not in the address");
  }
  size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
    auto port = Number(authority.substr(colon + 1), 1, 65535);
    if (!port) throw DefinitionError(text, "the port must be a number from 1 to 65535");
    definition.port = *port;
    authority = authority.substr(0, colon);
  }
  if (authority.size() >= 2 && authority.front() == '[' && authority.back() == ']') {
    authority = authority.substr(1, authority.size() - 2);
  }
  if (authority.empty()) throw DefinitionError(text, "the address names no host");
  definition.host = authority;

  if (semicolon == std::string_view::npos) return definition;
  Dictionary items = [&] {
    try {
      return provider::ParseConnectionString(rest.substr(semicolon + 1));
    } catch (const ComError& error) {
      throw DefinitionError(text, error.description());
    }
  }();
  for (const auto& [key, item] : items.Entries()) {
    std::string value = item.ToString();
    if (EqualsIgnoreCase(key, "Catalog")) {
      definition.catalog = value;
    } else if (EqualsIgnoreCase(key, "User")) {
      definition.user = value;
    } else if (EqualsIgnoreCase(key, "Password")) {
      definition.password = value;
    } else if (EqualsIgnoreCase(key, "Timeout")) {
      auto seconds = Number(value, 1, 24 * 3600);
      if (!seconds) throw DefinitionError(text, "Timeout takes seconds, from 1 to 86400");
      definition.timeout_seconds = *seconds;
    } else if (EqualsIgnoreCase(key, "MetadataCache")) {
      auto seconds = Number(value, 0, 24 * 3600);
      if (!seconds) throw DefinitionError(text, "MetadataCache takes seconds, from 0 to 86400");
      definition.metadata_seconds = *seconds;
    } else {
      throw DefinitionError(text, "'" + key + "' is not one of Catalog, User, Password, Timeout and MetadataCache");
    }
  }
  return definition;
}

}  // namespace orvex::xmla_client
