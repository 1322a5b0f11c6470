#pragma once
#include <string>
#include <string_view>

// Where the XMLA client finds a remote server. Functions are PascalCase.
namespace orvex::xmla_client {

// An XMLA data source as the server's configuration defines it:
//   xmla:http://HOST[:PORT]/PATH[;Catalog=NAME][;User=NAME][;Password=TEXT][;Timeout=SECONDS]
//        [;MetadataCache=SECONDS]
// Only the configuration holds these; a page names the data source, never the address.
struct XmlaSourceDefinition {
  std::string url;   // as configured, without the "xmla:" prefix
  std::string host;  // "127.0.0.1", "olap.example.com"
  int port = 80;
  std::string path;  // "/xmla"
  std::string catalog;  // the one catalog shown, or "" for all of the server's
  std::string user;     // HTTP Basic authentication when not ""
  std::string password;
  int timeout_seconds = 120;  // longest wait for one answer
  // How long catalogs, cubes and cube structures are shared by the connections
  // that follow the one that fetched them; 0 keeps them to that connection.
  int metadata_seconds = 60;
};

// Whether `text` starts with "xmla:" (without regard to case).
[[nodiscard]] bool IsXmlaSourceDefinition(std::string_view text);

// Reads a definition; throws ComError naming what is wrong: no "xmla:" prefix,
// a scheme other than http, no host, a bad port or timeout, an unknown item.
XmlaSourceDefinition ParseXmlaSourceDefinition(std::string_view text);

}  // namespace orvex::xmla_client
