#include "olap/globals.h"

#include "errors/trail.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"
#include "platform/text.h"
#include "provider/connection_string.h"

namespace orvex::olap {

using detail::TesselError;

namespace {

constexpr const char* kClass = "Globals";

std::string DoubleQuotes(std::string_view text) { return ReplaceAll(text, "'", "''"); }

std::string BracketPart(const Variant& name) { return "[" + ReplaceAll(name.ToString(), "]", "]]") + "]"; }

// Wraps the children of every element named `name` in `open` ... `close`,
// with `separator` between them (nothing when `separator` is null).
void Punctuate(pugi::xml_document& document, const char* name, const char* open, const char* close,
               const char* separator) {
  pugi::xpath_node_set nodes = document.select_nodes((std::string("//") + name).c_str());
  for (const pugi::xpath_node& found : nodes) {
    pugi::xml_node element = found.node();
    if (separator) {
      pugi::xml_node first = element.first_child();
      for (pugi::xml_node child = element.last_child(); child && child != first;) {
        pugi::xml_node previous = child.previous_sibling();
        element.insert_child_before(pugi::node_pcdata, child).set_value(separator);
        child = previous;
      }
    }
    element.prepend_child(pugi::node_pcdata).set_value(open);
    element.append_child(pugi::node_pcdata).set_value(close);
  }
}

}  // namespace

Globals& Globals::Instance() {
  thread_local Globals instance;
  return instance;
}

bool Globals::CheckConnection(const Variant& Connection, bool OpenRequired) {
  return Trail(kClass, "CheckConnection", [&] {
    std::shared_ptr<provider::Connection> connection;
    if (Connection.IsObject()) connection = std::dynamic_pointer_cast<provider::Connection>(Connection.ToObject());
    if (!connection) {
      throw TesselError(errors::kInvalidProcedureCall,
                        "The Connection must be a reference to a valid 'ADODB.Connection' object.");
    }
    if (connection->State() != provider::Connection::kStateOpen && OpenRequired) {
      throw TesselError(errors::kInvalidProcedureCall, "The Connection is not open.");
    }
    return true;
  });
}

std::shared_ptr<provider::Connection> Globals::GetConnection(const std::string& ConnectionString,
                                                             int32_t ConnectionTimeout) {
  return Trail(kClass, "GetConnection", [&] {
    auto connection = std::make_shared<provider::Connection>();
    connection->ClearErrors();
    connection->SetConnectionTimeout(ConnectionTimeout);
    connection->Open(ConnectionString, "", "", -1);
    return connection;
  });
}

std::string Globals::BuildConnectionString(std::string_view DataSourceName, const Variant& CatalogName,
                                           std::string_view Provider) {
  return Trail(kClass, "BuildConnectionString", [&] {
    std::string catalog = CatalogName.IsEmpty() ? std::string() : Trim(CatalogName.ToString());
    std::string result = "Provider=" + std::string(Provider) + ";Data Source=" + Trim(DataSourceName);
    if (!catalog.empty()) result += ";SOURCE_DSN=" + catalog;
    return result;
  });
}

Dictionary Globals::ParseConnectionString(std::string_view ConnectionString) {
  return Trail(kClass, "ParseConnectionString", [&] { return provider::ParseConnectionString(ConnectionString); });
}

std::string Globals::BuildUniqueName(const Variant& Names) {
  return Trail(kClass, "BuildUniqueName", [&] {
    if (!Names.IsArray()) return BracketPart(Names);
    std::string result;
    for (const Variant& name : Names.ToArray()) result = AppendToList(result, BracketPart(name), ".");
    return result;
  });
}

std::vector<std::string> Globals::ParseUniqueName(std::string_view UniqueName) {
  return Trail(kClass, "ParseUniqueName", [&] {
    std::string text = Trim(UniqueName);
    std::erase(text, '\0');
    if (text.empty()) return std::vector<std::string>();
    if (text.size() < 2 || text.front() != '[' || text.back() != ']') return std::vector<std::string>{text};
    std::string inner = text.substr(1, text.size() - 2);
    if (inner.empty()) return std::vector<std::string>();
    // NUL cannot occur in the text any more, so it safely marks the part boundaries.
    inner = ReplaceAll(ReplaceAll(inner, "].[", std::string(1, '\0')), "]]", "]");
    return Split(inner, std::string_view("\0", 1));
  });
}

std::string Globals::AppendToList(std::string_view List, std::string_view Item, std::string_view Delimiter) {
  return Trail(kClass, "AppendToList", [&] {
    if (List.empty()) return std::string(Item);
    std::string result;
    result.reserve(List.size() + Delimiter.size() + Item.size());
    result.append(List).append(Delimiter).append(Item);
    return result;
  });
}

std::string Globals::CrossJoinSets(std::string_view Set1, std::string_view Set2) {
  return Trail(kClass, "CrossJoinSets", [&] {
    std::string first = Trim(Set1);
    std::string second = Trim(Set2);
    if (first.empty()) return "{" + second + "}";
    if (second.empty()) return "{" + first + "}";
    return "CrossJoin({" + first + "}, {" + second + "})";
  });
}

std::string Globals::BuildAxisClause(int32_t AxisIndex, std::string_view AxisSet, bool ShowEmpty, bool Distinct) {
  return Trail(kClass, "BuildAxisClause", [&] {
    std::string set = "{" + std::string(AxisSet) + "}";
    std::string body = Distinct ? "Distinct(" + set + ")" : set;
    return std::string(ShowEmpty ? "" : "NON EMPTY ") + body + " ON Axis(" + std::to_string(AxisIndex) + ")";
  });
}

std::string Globals::BuildNamedSetClause(std::string_view SetName, std::string_view SetExpression) {
  return Trail(kClass, "BuildNamedSetClause", [&] {
    return "SET [" + std::string(SetName) + "] AS '{" + DoubleQuotes(SetExpression) + "}'";
  });
}

std::string Globals::BuildNamedMemberClause(std::string_view MemberUniqueName, std::string_view MemberExpression) {
  return Trail(kClass, "BuildNamedMemberClause", [&] {
    return "MEMBER " + std::string(MemberUniqueName) + " AS '" + DoubleQuotes(MemberExpression) + "'";
  });
}

std::string Globals::ConvertSetNodeToMDX(std::string_view SetNode) {
  return Trail(kClass, "ConvertSetNodeToMDX", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, SetNode)) {
      throw TesselError(errors::kInvalidProcedureCall, "The <set> document node could not be loaded.");
    }
    Punctuate(document, "t", "(", ")", ",");
    Punctuate(document, "set", "{", "}", ",");
    Punctuate(document, "mdx", "{", "}", nullptr);
    return detail::InnerText(document);
  });
}

std::string Globals::PositionToTuple(const provider::Position* Position, std::optional<int32_t> FirstMember,
                                     std::optional<int32_t> LastMember) {
  return Trail(kClass, "PositionToTuple", [&] {
    if (!Position) return std::string();
    auto members = Position->GetMembers();
    int32_t first = FirstMember.value_or(0);
    int32_t last = LastMember.value_or(members->Count() - 1);
    std::string list;
    for (int32_t member = first; member <= last; ++member) {
      list = AppendToList(list, members->Item(member)->UniqueName(), ", ");
    }
    list = Trim(list);
    return list.empty() ? list : "(" + list + ")";
  });
}

std::string Globals::PositionsToTupleList(const provider::Positions* Positions, std::optional<int32_t> FirstMember,
                                          std::optional<int32_t> LastMember,
                                          std::optional<int32_t> FirstPosition,
                                          std::optional<int32_t> LastPosition) {
  return Trail(kClass, "PositionsToTupleList", [&] {
    if (!Positions || Positions->Count() == 0) return std::string();
    int32_t first_member = FirstMember.value_or(0);
    int32_t last_member = LastMember.value_or(Positions->Item(0)->GetMembers()->Count() - 1);
    int32_t last = LastPosition.value_or(Positions->Count() - 1);
    std::string result;
    for (int32_t position = FirstPosition.value_or(0); position <= last; ++position) {
      std::string tuple = PositionToTuple(Positions->Item(position).get(), first_member, last_member);
      if (!tuple.empty()) result = AppendToList(result, tuple, ", ");
    }
    return Trim(result);
  });
}

}  // namespace orvex::olap
