#include "xmla_client/soap_client.h"

#include <httplib.h>

#include <charconv>
#include <cstdlib>

#include "platform/com/com_error.h"
#include "platform/text.h"
#include "xmla/xml_writer.h"
#include "xmla/xmla_service.h"
#include "xmla/xml_names.h"

namespace orvex::xmla_client {
namespace {

using xmla::Child;
using xmla::LocalName;

constexpr const char* kXmlaNamespace = "urn:schemas-microsoft-com:xml-analysis";

ComError ClientError(std::string description) {
  return ComError(kXmlaClientErrorNumber, kXmlaClientErrorSource, std::move(description));
}

// The XMLA error code of a fault: the hexadecimal number ending its faultcode
// ("XMLAnalysisError.0xC10A0005"), else the detail's ErrorCode; 0 without one.
uint32_t FaultCode(pugi::xml_node fault) {
  std::string code = Trim(Child(fault, "faultcode").text().get());
  size_t hex = ToLower(code).rfind("0x");
  if (hex != std::string::npos) return static_cast<uint32_t>(std::strtoul(code.c_str() + hex + 2, nullptr, 16));
  pugi::xml_node error = Child(Child(fault, "detail"), "Error");
  return static_cast<uint32_t>(std::strtoul(error.attribute("ErrorCode").value(), nullptr, 10));
}

void AppendProperties(std::string& out, const PropertyList& properties) {
  out += "<Properties><PropertyList>";
  for (const auto& [name, value] : properties) {
    std::string element = xmla::EncodeName(name);
    out += "<" + element + ">";
    xmla::AppendEscaped(out, value);
    out += "</" + element + ">";
  }
  out += "</PropertyList></Properties>";
}

std::string Envelope(std::string_view header, std::string_view method) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">";
  if (!header.empty()) out += "<SOAP-ENV:Header>" + std::string(header) + "</SOAP-ENV:Header>";
  out += "<SOAP-ENV:Body>";
  out += method;
  out += "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return out;
}

}  // namespace

const std::string& RowsetRow::Get(std::string_view name) const {
  static const std::string kNone;
  for (const auto& [field, value] : fields_) {
    if (field == name) return value;
  }
  return kNone;
}

int RowsetRow::GetInt(std::string_view name, int fallback) const {
  const std::string& text = Get(name);
  int value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() ? value : fallback;
}

SoapReply ReadSoapReply(std::string body, int status, uint32_t* fault_code) {
  if (fault_code) *fault_code = 0;
  SoapReply reply;
  reply.document = std::make_unique<pugi::xml_document>();
  pugi::xml_parse_result parsed = reply.document->load_buffer(body.data(), body.size(), pugi::parse_default);
  pugi::xml_node envelope = reply.document->document_element();
  if (!parsed || LocalName(envelope.name()) != "Envelope") {
    // A proxy's or web server's error page: say what HTTP said.
    if (status != 200) throw ClientError("The XMLA server answered with HTTP status " + std::to_string(status) + ".");
    throw ClientError("The XMLA server's answer is no SOAP envelope.");
  }
  pugi::xml_node soap_body = Child(envelope, "Body");
  if (pugi::xml_node fault = Child(soap_body, "Fault")) {
    if (fault_code) *fault_code = FaultCode(fault);
    std::string text = Trim(Child(fault, "faultstring").text().get());
    if (text.empty()) text = Trim(Child(Child(fault, "detail"), "Error").attribute("Description").value());
    if (text.empty()) text = "The XMLA server reported a fault without a message.";
    throw ClientError(std::move(text));
  }
  if (status != 200) throw ClientError("The XMLA server answered with HTTP status " + std::to_string(status) + ".");
  pugi::xml_node method = soap_body.find_child([](pugi::xml_node node) { return node.type() == pugi::node_element; });
  pugi::xml_node returned = Child(method, "return");
  if (!method || !returned) throw ClientError("The XMLA server's answer holds no result.");
  reply.root = returned.find_child([](pugi::xml_node node) { return node.type() == pugi::node_element; });
  reply.session_id = Child(Child(envelope, "Header"), "Session").attribute("SessionId").value();
  return reply;
}

std::vector<RowsetRow> ReadRows(const pugi::xml_node& root) {
  std::vector<RowsetRow> rows;
  for (pugi::xml_node row : root.children()) {
    if (row.type() != pugi::node_element || LocalName(row.name()) != "row") continue;
    RowsetRow& fields = rows.emplace_back();
    for (pugi::xml_node field : row.children()) {
      if (field.type() == pugi::node_element) fields.Add(std::string(LocalName(field.name())), field.text().get());
    }
  }
  return rows;
}

std::string DiscoverEnvelope(std::string_view request_type, const RestrictionList& restrictions,
                             const PropertyList& properties, std::string_view header) {
  std::string method = "<Discover xmlns=\"" + std::string(kXmlaNamespace) + "\"><RequestType>";
  xmla::AppendEscaped(method, request_type);
  method += "</RequestType><Restrictions><RestrictionList>";
  for (const auto& [name, values] : restrictions) {
    std::string element = xmla::EncodeName(name);
    method += "<" + element + ">";
    if (values.size() == 1) {
      xmla::AppendEscaped(method, values.front());
    } else {
      for (const auto& value : values) {
        method += "<Value>";
        xmla::AppendEscaped(method, value);
        method += "</Value>";
      }
    }
    method += "</" + element + ">";
  }
  method += "</RestrictionList></Restrictions>";
  AppendProperties(method, properties);
  method += "</Discover>";
  return Envelope(header, method);
}

std::string ExecuteEnvelope(std::string_view statement, const PropertyList& properties, std::string_view header) {
  std::string method = "<Execute xmlns=\"" + std::string(kXmlaNamespace) + "\"><Command><Statement>";
  xmla::AppendEscaped(method, statement);
  method += "</Statement></Command>";
  AppendProperties(method, properties);
  method += "</Execute>";
  return Envelope(header, method);
}

struct SoapClient::Http {
  XmlaSourceDefinition definition;
  httplib::Client client;
  Http(XmlaSourceDefinition source, int connect_timeout_seconds)
      : definition(std::move(source)), client(definition.host, definition.port) {
    client.set_keep_alive(true);
    // A request goes out as headers and body in two writes; without this the
    // second waits for the server's delayed acknowledgement.
    client.set_tcp_nodelay(true);
    client.set_connection_timeout(std::max(connect_timeout_seconds, 1), 0);
    client.set_read_timeout(definition.timeout_seconds, 0);
    client.set_write_timeout(definition.timeout_seconds, 0);
    if (!definition.user.empty()) client.set_basic_auth(definition.user, definition.password);
  }
};

SoapClient::SoapClient(std::string name, XmlaSourceDefinition definition, int connect_timeout_seconds)
    : name_(std::move(name)), http_(std::make_unique<Http>(std::move(definition), connect_timeout_seconds)) {}

SoapClient::~SoapClient() { EndSession(); }

SoapReply SoapClient::Post(std::string_view action, const std::string& body, uint32_t* fault_code) {
  ++requests_;
  httplib::Headers headers = {{"SOAPAction", "\"" + std::string(kXmlaNamespace) + ":" + std::string(action) + "\""}};
  auto result = http_->client.Post(http_->definition.path, headers, body, "text/xml; charset=utf-8");
  if (!result) {
    throw ClientError("The XMLA server of the data source '" + name_ + "' did not answer (" +
                      httplib::to_string(result.error()) + ").");
  }
  if (result->status == 401 || result->status == 403) {
    throw ClientError("The XMLA server of the data source '" + name_ + "' refused " +
                      (http_->definition.user.empty() ? std::string("to answer without a user")
                                                      : "the user '" + http_->definition.user + "'") +
                      " (HTTP status " + std::to_string(result->status) + ").");
  }
  return ReadSoapReply(std::move(result->body), result->status, fault_code);
}

SoapReply SoapClient::Send(std::string_view action, const std::function<std::string(std::string_view header)>& make) {
  const std::string element = std::string(" xmlns=\"") + kXmlaNamespace + "\"";
  for (int attempt = 0;; ++attempt) {
    bool begin = session_id_.empty() && !session_ended_;
    std::string header;
    if (begin) {
      header = "<BeginSession" + element + "/>";
    } else if (!session_id_.empty()) {
      header = "<Session" + element + " SessionId=\"" + xmla::Escape(session_id_) + "\"/>";
    }
    uint32_t fault_code = 0;
    try {
      SoapReply reply = Post(action, make(header), &fault_code);
      // A server that keeps no sessions answers without one; go on without.
      if (begin) {
        session_id_ = reply.session_id;
        if (session_id_.empty()) session_ended_ = true;
      }
      return reply;
    } catch (const ComError&) {
      if (fault_code != xmla::codes::kSessionNotFound || attempt > 0 || session_id_.empty()) throw;
      session_id_.clear();  // the server ended it (idle, or full): begin another and send again
    }
  }
}

std::vector<RowsetRow> SoapClient::Discover(std::string_view request_type, const RestrictionList& restrictions,
                                            const PropertyList& properties) {
  SoapReply reply = Send("Discover", [&](std::string_view header) {
    return DiscoverEnvelope(request_type, restrictions, properties, header);
  });
  return ReadRows(reply.root);
}

SoapReply SoapClient::Execute(std::string_view statement, const PropertyList& properties) {
  return Send("Execute", [&](std::string_view header) { return ExecuteEnvelope(statement, properties, header); });
}

void SoapClient::EndSession() noexcept {
  if (session_id_.empty()) return;
  std::string header = std::string("<EndSession xmlns=\"") + kXmlaNamespace + "\" SessionId=\"" +
                       xmla::Escape(session_id_) + "\"/>";
  session_id_.clear();
  session_ended_ = true;
  try {
    // The cheapest request there is carries the end of the session.
    (void)Post("Discover", DiscoverEnvelope("DISCOVER_DATASOURCES", {}, {{"Content", "Data"}}, header), nullptr);
  } catch (...) {
  }
}

}  // namespace orvex::xmla_client
