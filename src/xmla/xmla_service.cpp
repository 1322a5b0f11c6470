#include "xmla/xmla_service.h"

#include <pugixml.hpp>

#include <cstdio>
#include <random>
#include <tuple>
#include <vector>

#include "platform/runtime/runtime.h"
#include "platform/text.h"
#include "provider/connection.h"
#include "provider/connection_string.h"
#include "xmla/md_dataset.h"
#include "xmla/mdx_clauses.h"
#include "xmla/rowsets.h"
#include "xmla/xml_names.h"

namespace orvex::xmla {

struct XmlaService::SessionState {
  std::mutex mutex;  // one request at a time
  std::unique_ptr<provider::Connection> connection;  // guarded by mutex; opened on first use
  uint64_t last_used = 0;                            // guarded by the service's mutex_
  std::string role;  // of the request that began it; set once, before the session is shared
};

namespace {

constexpr const char* kXmlaNamespace = "urn:schemas-microsoft-com:xml-analysis";

// A request that cannot be answered: the fault's code and text.
struct Fault {
  uint32_t code;
  std::string text;
};

pugi::xml_node FirstElement(pugi::xml_node parent) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element) return child;
  }
  return {};
}

std::string Attribute(pugi::xml_node node, std::string_view local_name) {
  for (pugi::xml_attribute attribute : node.attributes()) {
    if (LocalName(attribute.name()) == local_name) return attribute.value();
  }
  return "";
}

std::string HexCode(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

void WriteEnvelopeStart(XmlWriter& out, const std::string& session_id) {
  out.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
          "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">");
  if (!session_id.empty()) {
    out.Raw("<SOAP-ENV:Header><Session xmlns=\"").Raw(kXmlaNamespace).Raw("\" SessionId=\"").Text(session_id)
        .Raw("\"/></SOAP-ENV:Header>");
  }
  out.Raw("<SOAP-ENV:Body>");
}

void WriteEnvelopeEnd(XmlWriter& out) { out.Raw("</SOAP-ENV:Body></SOAP-ENV:Envelope>\n"); }

class FaultReply final : public XmlaReply {
 public:
  explicit FaultReply(Fault fault) : fault_(std::move(fault)) {}
  // A request that is no SOAP message at all is refused at the HTTP level;
  // every other fault travels as an ordinary answer, because clients (Java's
  // XMLA driver among them) read no body from a failed HTTP response.
  int Status() const override { return fault_.code == codes::kMalformedRequest ? 400 : 200; }
  void Write(const Sink& sink) const override {
    XmlWriter out(sink);
    WriteEnvelopeStart(out, "");
    bool client = fault_.code != codes::kStatementFailed && fault_.code != codes::kConnectionFailed;
    out.Raw("<SOAP-ENV:Fault><faultcode>XMLAnalysisError.").Raw(HexCode(fault_.code)).Raw("</faultcode>");
    out.Element("faultstring", fault_.text);
    out.Raw("<faultactor>").Raw(client ? "Client" : "Server").Raw("</faultactor>");
    out.Raw("<detail><Error ErrorCode=\"").Raw(std::to_string(fault_.code)).Raw("\" Description=\"")
        .Text(fault_.text).Raw("\" Source=\"Orvex\" HelpFile=\"\"/></detail></SOAP-ENV:Fault>");
    WriteEnvelopeEnd(out);
  }

 private:
  Fault fault_;
};

// A successful answer: the envelope around what `body` writes.
class BodyReply final : public XmlaReply {
 public:
  BodyReply(std::string session_id, std::string response_element, std::function<void(XmlWriter&)> body)
      : session_id_(std::move(session_id)), element_(std::move(response_element)), body_(std::move(body)) {}
  int Status() const override { return 200; }
  void Write(const Sink& sink) const override {
    XmlWriter out(sink);
    WriteEnvelopeStart(out, session_id_);
    if (!element_.empty()) {
      out.Raw("<").Raw(element_).Raw(" xmlns=\"").Raw(kXmlaNamespace).Raw("\"><return>");
      body_(out);
      out.Raw("</return></").Raw(element_).Raw(">");
    }
    WriteEnvelopeEnd(out);
  }

 private:
  std::string session_id_;
  std::string element_;
  std::function<void(XmlWriter&)> body_;
};

// The request's <Properties><PropertyList>: names as sent, values trimmed.
std::map<std::string, std::string> ReadProperties(pugi::xml_node method) {
  std::map<std::string, std::string> properties;
  pugi::xml_node list = Child(Child(method, "Properties"), "PropertyList");
  for (pugi::xml_node property : list.children()) {
    if (property.type() != pugi::node_element) continue;
    properties[std::string(LocalName(property.name()))] = Trim(property.text().get());
  }
  return properties;
}

std::string Property(const std::map<std::string, std::string>& properties, std::string_view name) {
  for (const auto& [key, value] : properties) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return "";
}

// Values of the request's properties, checked.
struct RequestSettings {
  std::string catalog;
  std::string data_source;  // from DataSourceInfo, else ""
  std::string format = "Multidimensional";
  bool schema = true;
  bool data = true;
  std::optional<int32_t> locale;
};

RequestSettings ReadSettings(const std::map<std::string, std::string>& properties) {
  RequestSettings settings;
  settings.catalog = Property(properties, "Catalog");
  if (std::string info = Property(properties, "DataSourceInfo"); !info.empty()) {
    try {
      settings.data_source = Trim(provider::ParseConnectionString(info).Item("Data Source").ToString());
    } catch (const ComError& error) {
      throw Fault{codes::kBadProperty, "DataSourceInfo '" + info + "' cannot be read: " + error.description()};
    }
  }
  std::string format = Property(properties, "Format");
  if (format.empty() || EqualsIgnoreCase(format, "Multidimensional") || EqualsIgnoreCase(format, "Native")) {
    settings.format = "Multidimensional";
  } else if (EqualsIgnoreCase(format, "Tabular")) {
    settings.format = "Tabular";
  } else {
    throw Fault{codes::kBadProperty, "Format takes Tabular or Multidimensional, not '" + format + "'."};
  }
  std::string axis_format = Property(properties, "AxisFormat");
  if (!axis_format.empty() && !EqualsIgnoreCase(axis_format, "TupleFormat")) {
    throw Fault{codes::kBadProperty, "AxisFormat takes TupleFormat, not '" + axis_format + "'."};
  }
  std::string content = Property(properties, "Content");
  if (content.empty() || EqualsIgnoreCase(content, "SchemaData")) {
  } else if (EqualsIgnoreCase(content, "Schema")) {
    settings.data = false;
  } else if (EqualsIgnoreCase(content, "Data")) {
    settings.schema = false;
  } else if (EqualsIgnoreCase(content, "None")) {
    settings.schema = settings.data = false;
  } else {
    throw Fault{codes::kBadProperty, "Content takes None, Schema, Data or SchemaData, not '" + content + "'."};
  }
  if (std::string locale = Property(properties, "LocaleIdentifier"); !locale.empty()) {
    char* end = nullptr;
    long value = std::strtol(locale.c_str(), &end, 10);
    if (*end != '\0' || value <= 0 || value > 0xFFFF) {
      throw Fault{codes::kBadProperty, "LocaleIdentifier takes a locale number, not '" + locale + "'."};
    }
    settings.locale = static_cast<int32_t>(value);
  }
  return settings;
}

Restrictions ReadRestrictions(pugi::xml_node method, const RowsetDef& rowset) {
  Restrictions restrictions;
  pugi::xml_node list = Child(Child(method, "Restrictions"), "RestrictionList");
  for (pugi::xml_node restriction : list.children()) {
    if (restriction.type() != pugi::node_element) continue;
    std::string name = ToUpper(LocalName(restriction.name()));
    bool known = false;
    for (const auto& column : rowset.columns) known = known || (column.restriction && ToUpper(column.name) == name);
    for (const auto& column : rowset.extra_restrictions) known = known || ToUpper(column.name) == name;
    if (!known) {
      throw Fault{codes::kBadRestriction,
                  "The restriction " + std::string(LocalName(restriction.name())) + " is not one of " +
                      rowset.name + "."};
    }
    std::vector<std::string>& values = restrictions[name];
    bool listed = false;
    for (pugi::xml_node value : restriction.children()) {
      if (value.type() == pugi::node_element && LocalName(value.name()) == "Value") {
        values.push_back(value.text().get());
        listed = true;
      }
    }
    if (!listed) values.push_back(restriction.text().get());
  }
  return restrictions;
}

// Sets the thread's locale for one request and puts the old one back.
class LocaleScope {
 public:
  explicit LocaleScope(std::optional<int32_t> locale) : previous_(runtime::GetThreadLocale()) {
    if (locale) runtime::SetThreadLocale(*locale);
  }
  ~LocaleScope() { runtime::SetThreadLocale(previous_); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  int32_t previous_;
};

std::string NewSessionId() {
  static thread_local std::random_device device;
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%08x%04x", device(), device() & 0xFFFF, device() & 0xFFFF,
                device() & 0xFFFF, device(), device() & 0xFFFF);
  return text;
}

}  // namespace

XmlaService::XmlaService(XmlaOptions options) : options_(std::move(options)) {}
XmlaService::~XmlaService() = default;

size_t XmlaService::SessionCount() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

std::shared_ptr<XmlaService::SessionState> XmlaService::FindSession(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto found = sessions_.find(id);
  if (found == sessions_.end()) return nullptr;
  found->second->last_used = ++use_counter_;
  return found->second;
}

std::shared_ptr<XmlaService::SessionState> XmlaService::SessionOfRole(std::shared_ptr<SessionState> session,
                                                                      const std::string& role) {
  // A session id seen by someone else must not carry its connection's role over.
  if (!session || session->role != role) return nullptr;
  return session;
}

std::pair<std::string, std::shared_ptr<XmlaService::SessionState>> XmlaService::BeginSession(
    const std::string& role) {
  std::lock_guard lock(mutex_);
  while (sessions_.size() >= options_.max_sessions && !sessions_.empty()) {
    auto oldest = sessions_.begin();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
      if (it->second->last_used < oldest->second->last_used) oldest = it;
    }
    sessions_.erase(oldest);
  }
  auto state = std::make_shared<SessionState>();
  state->last_used = ++use_counter_;
  state->role = role;
  std::string id = NewSessionId();
  sessions_[id] = state;
  return {id, state};
}

std::shared_ptr<XmlaService::SessionState> XmlaService::EndSession(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto found = sessions_.find(id);
  if (found == sessions_.end()) return nullptr;
  auto state = found->second;
  sessions_.erase(found);
  return state;
}

std::unique_ptr<XmlaReply> XmlaService::Handle(std::string_view body, const std::string& role) {
  try {
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(body.data(), body.size(), pugi::parse_default);
    if (!parsed) {
      throw Fault{codes::kMalformedRequest, std::string("The request is not XML: ") + parsed.description() +
                                                " at byte " + std::to_string(parsed.offset) + "."};
    }
    pugi::xml_node envelope = document.document_element();
    if (LocalName(envelope.name()) != "Envelope") {
      throw Fault{codes::kMalformedRequest, "The request has no SOAP Envelope."};
    }
    pugi::xml_node soap_body = Child(envelope, "Body");
    if (!soap_body) throw Fault{codes::kMalformedRequest, "The SOAP Envelope has no Body."};
    pugi::xml_node method = FirstElement(soap_body);
    std::string_view method_name = method ? LocalName(method.name()) : std::string_view();
    if (method_name != "Discover" && method_name != "Execute") {
      throw Fault{codes::kUnknownRequest, "The SOAP Body holds no Discover or Execute but '" +
                                              std::string(method_name) + "'."};
    }

    // Properties first, so that a request refused for them begins no session.
    std::map<std::string, std::string> properties = ReadProperties(method);
    RequestSettings settings = ReadSettings(properties);
    LocaleScope locale(settings.locale);

    // Sessions: BeginSession starts one, Session names one, EndSession ends one.
    pugi::xml_node header = Child(envelope, "Header");
    std::string session_id;
    std::shared_ptr<SessionState> session;
    if (pugi::xml_node end = Child(header, "EndSession")) {
      // The request still runs, as the session's last.
      std::string id = Attribute(end, "SessionId");
      session = SessionOfRole(FindSession(id), role);
      if (session) session = EndSession(id);
      if (!session) throw Fault{codes::kSessionNotFound, "There is no session '" + id + "' to end."};
    } else if (Child(header, "BeginSession")) {
      std::tie(session_id, session) = BeginSession(role);
    } else if (pugi::xml_node named = Child(header, "Session")) {
      session_id = Attribute(named, "SessionId");
      session = SessionOfRole(FindSession(session_id), role);
      if (!session) {
        throw Fault{codes::kSessionNotFound, "The session '" + session_id + "' has ended or never began."};
      }
    }

    // One connection per request, or the session's own, held while the request runs.
    std::unique_lock<std::mutex> session_lock;
    std::unique_ptr<provider::Connection> own_connection;
    provider::Connection* connection = nullptr;
    if (session) session_lock = std::unique_lock(session->mutex);
    std::unique_ptr<provider::Connection>& slot = session ? session->connection : own_connection;
    if (!slot) {
      std::string data_source = settings.data_source.empty() ? options_.data_source_name : settings.data_source;
      auto opened = std::make_unique<provider::Connection>();
      try {
        opened->Open("Provider=" + options_.provider_name + ";Data Source=" + data_source +
                     (role.empty() ? "" : ";Role=" + role));
      } catch (const ComError& error) {
        throw Fault{codes::kConnectionFailed, error.description()};
      }
      slot = std::move(opened);
    }
    connection = slot.get();
    std::string data_source_info = "Provider=" + options_.provider_name + ";Data Source=" + options_.data_source_name;

    if (method_name == "Discover") {
      std::string request_type = Trim(Child(method, "RequestType").text().get());
      const RowsetDef* rowset = FindRowset(request_type);
      if (!rowset) throw Fault{codes::kUnknownRequest, "The request type '" + request_type + "' is not supported."};
      Restrictions restrictions = ReadRestrictions(method, *rowset);
      DiscoverContext context{connection->GetSession(), options_.data_source_name, data_source_info,
                              options_.provider_name, options_.url, settings.catalog, properties};
      auto rows = std::make_shared<std::vector<Row>>();
      try {
        rowset->produce(context, restrictions, *rows);
      } catch (const ComError& error) {
        throw Fault{codes::kStatementFailed, error.description()};
      }
      // With TREE_OP the unique name restriction names the member the tree is
      // taken around, not the rows.
      Restrictions filter = restrictions;
      if (filter.count("TREE_OP") != 0) filter.erase("MEMBER_UNIQUE_NAME");
      std::erase_if(*rows, [&](const Row& row) { return !MatchesRestrictions(*rowset, row, filter); });
      // Everything here is a cube (source 1) and visible (1); asking only for other kinds finds nothing.
      for (const auto& [name, values] : restrictions) {
        if (name != "CUBE_SOURCE" && !name.ends_with("_VISIBILITY")) continue;
        for (const auto& value : values) {
          if ((std::strtol(value.c_str(), nullptr, 10) & 1) == 0) rows->clear();
        }
      }
      return std::make_unique<BodyReply>(session_id, "DiscoverResponse",
                                         [rowset, rows, settings](XmlWriter& out) {
                                           WriteRowset(out, *rowset, *rows, settings.schema, settings.data);
                                         });
    }

    // Execute
    std::string statement = Child(Child(method, "Command"), "Statement").text().get();
    if (Trim(statement).empty()) {
      return std::make_unique<BodyReply>(session_id, "ExecuteResponse", [](XmlWriter& out) {
        out.Raw("<root xmlns=\"urn:schemas-microsoft-com:xml-analysis:empty\"/>");
      });
    }
    std::string catalog = settings.catalog.empty() ? connection->DefaultDatabase() : settings.catalog;
    MdxClauses clauses = ScanMdxClauses(statement);
    if (clauses.drillthrough) {
      auto rows = std::make_shared<provider::TabularData>();
      try {
        *rows = connection->GetSession().Drillthrough(catalog, statement);
      } catch (const ComError& error) {
        throw Fault{codes::kStatementFailed, error.description()};
      }
      // Rows are a tabular rowset whatever Format the request asks for: they are no cells.
      return std::make_unique<BodyReply>(session_id, "ExecuteResponse", [rows, settings](XmlWriter& out) {
        WriteTabularRows(out, *rows, settings.schema, settings.data);
      });
    }
    std::shared_ptr<provider::CellsetData> data;
    try {
      data = connection->GetSession().Execute(catalog, statement);
    } catch (const ComError& error) {
      throw Fault{codes::kStatementFailed, error.description()};
    }
    return std::make_unique<BodyReply>(session_id, "ExecuteResponse", [data, clauses, settings](XmlWriter& out) {
      // Formatted values follow the request's locale while the reply is written, too.
      LocaleScope scope(settings.locale);
      if (settings.format == "Tabular") {
        WriteTabular(out, *data, settings.schema, settings.data);
      } else {
        WriteMdDataSet(out, *data, clauses, settings.schema, settings.data);
      }
    });
  } catch (Fault& fault) {
    return std::make_unique<FaultReply>(std::move(fault));
  } catch (const ComError& error) {
    return std::make_unique<FaultReply>(Fault{codes::kStatementFailed, error.description()});
  } catch (const std::exception& error) {
    return std::make_unique<FaultReply>(Fault{codes::kStatementFailed, std::string("Internal error: ") + error.what()});
  }
}

std::string XmlaService::WriteToString(const XmlaReply& reply) {
  std::string text;
  reply.Write([&text](std::string_view piece) {
    text.append(piece);
    return true;
  });
  return text;
}

}  // namespace orvex::xmla
