#pragma once
#include <pugixml.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xmla_client/xmla_source.h"

namespace orvex::xmla_client {

// The number and source of every error of the XMLA client: its own (the
// server did not answer, answered nonsense) and the server's faults, whose
// text is the server's message as it came.
inline constexpr int32_t kXmlaClientErrorNumber = static_cast<int32_t>(0x80004005u);
inline constexpr const char* kXmlaClientErrorSource = "XMLA Client";

// A Discover's restrictions in order; several values make a list.
using RestrictionList = std::vector<std::pair<std::string, std::vector<std::string>>>;
// A request's properties in order: name and value.
using PropertyList = std::vector<std::pair<std::string, std::string>>;

// One row of a Discover answer: its fields by element name.
class RowsetRow {
 public:
  void Add(std::string name, std::string value) { fields_.emplace_back(std::move(name), std::move(value)); }
  // The first field of that name, or "" when the row has none.
  const std::string& Get(std::string_view name) const;
  // The field as a whole number; `fallback` when missing or no number.
  int GetInt(std::string_view name, int fallback = 0) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// A successful SOAP answer: the parsed envelope, the element its method
// returned (the <root> inside <return>), and the session the header names.
struct SoapReply {
  std::unique_ptr<pugi::xml_document> document;
  pugi::xml_node root;
  std::string session_id;
};

// Reads the answer to a request: a SOAP envelope of HTTP status `status`.
// Throws ComError with the server's own message for a SOAP fault
// (`fault_code` set to its XMLA error code when it carries one), and with a
// message of the client's for an answer that is no SOAP envelope.
SoapReply ReadSoapReply(std::string body, int status, uint32_t* fault_code = nullptr);

// The rows of a rowset answer (<root><row>...), every child element a field.
std::vector<RowsetRow> ReadRows(const pugi::xml_node& root);

// The SOAP envelopes of the two XMLA methods; `header` is markup placed in
// the SOAP header (session elements). Every name and value is escaped.
std::string DiscoverEnvelope(std::string_view request_type, const RestrictionList& restrictions,
                             const PropertyList& properties, std::string_view header);
std::string ExecuteEnvelope(std::string_view statement, const PropertyList& properties, std::string_view header);

// Talks SOAP to one XMLA server over one kept-alive HTTP connection, within
// one server session: the first request begins it, later ones name it, and
// EndSession (or destruction) ends it. When the server has dropped the
// session, the request is sent once more in a new one. One thread at a time.
class SoapClient {
 public:
  // `name` is the data source's name, the only thing messages say about the
  // server (its address stays in the configuration).
  SoapClient(std::string name, XmlaSourceDefinition definition, int connect_timeout_seconds);
  SoapClient(const SoapClient&) = delete;
  SoapClient& operator=(const SoapClient&) = delete;
  ~SoapClient();

  // Throws ComError: the server's fault, or no answer within the timeouts.
  std::vector<RowsetRow> Discover(std::string_view request_type, const RestrictionList& restrictions,
                                  const PropertyList& properties);
  SoapReply Execute(std::string_view statement, const PropertyList& properties);
  // Ends the session when one began; a failure is ignored (servers end idle sessions themselves).
  void EndSession() noexcept;
  // Requests sent so far, for tests and benchmarks.
  int RequestCount() const { return requests_; }

 private:
  // Sends the envelope `make` writes around a session header, within the session.
  SoapReply Send(std::string_view action, const std::function<std::string(std::string_view header)>& make);
  SoapReply Post(std::string_view action, const std::string& body, uint32_t* fault_code);

  struct Http;
  std::string name_;
  std::unique_ptr<Http> http_;
  std::string session_id_;
  bool session_ended_ = false;
  int requests_ = 0;
};

}  // namespace orvex::xmla_client
