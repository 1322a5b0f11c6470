#include "api/query_body.h"

#include <sstream>

#include <pugixml.hpp>

#include "olap/catalog.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/data_source.h"
#include "platform/com/com_error.h"
#include "provider/cellset.h"

namespace orvex::api {

namespace {

// A connection string has no quoting: a value with a separator could add items of its own.
void RefuseSeparators(const std::string& what, const std::string& value) {
  if (value.find_first_of(";=\r\n") != std::string::npos) {
    throw ApiError(400, "no " + what + " holds ';', '=' or a line break: '" + value + "'");
  }
}

// The definition with the body's data source and catalog in place of its own
// (the server's data source where neither names one), checked for what a
// connection string cannot carry. The object model reads the rest.
std::string PlaceDefinition(const ApiContext& context, const std::string& view, const std::string& data_source,
                            const std::string& catalog) {
  pugi::xml_document document;
  if (!document.load_buffer(view.data(), view.size()) || !document.document_element()) {
    throw ApiError(400, "the view is no XML document");
  }
  pugi::xml_node root = document.document_element();
  auto element = [&root](const char* name) {
    pugi::xml_node node = root.child(name);
    return node ? node : root.prepend_child(name);
  };
  pugi::xml_node source = element("dataSource");
  if (!data_source.empty()) {
    source.text().set(data_source.c_str());
  } else if (std::string(source.child_value()).empty()) {
    source.text().set(context.Options().default_data_source.c_str());
  }
  if (!catalog.empty()) element("catalog").text().set(catalog.c_str());
  RefuseSeparators("data source name", source.child_value());
  RefuseSeparators("catalog name", root.child("catalog").child_value());
  RefuseSeparators("provider name", source.attribute("provider").value());
  std::ostringstream text;
  document.save(text, "", pugi::format_raw | pugi::format_no_declaration);
  return text.str();
}

std::shared_ptr<provider::CellsetData> Run(const std::shared_ptr<provider::Connection>& connection,
                                           const std::string& mdx) {
  provider::Cellset cellset;
  cellset.SetActiveConnection(connection);
  cellset.Open(mdx);
  return cellset.Data();
}

std::shared_ptr<provider::CellsetData> RunAmended(const std::shared_ptr<provider::Connection>& connection,
                                                  const std::string& mdx, std::string* mdx_out,
                                                  const StatementAmendment& amend) {
  std::string amended = amend ? amend(mdx) : mdx;
  if (amended != mdx) {
    try {
      auto data = Run(connection, amended);
      if (mdx_out) *mdx_out = amended;
      return data;
    } catch (const ComError&) {
      // What failed may be the amendment: the statement as written says what is wrong, or runs.
    }
  }
  if (mdx_out) *mdx_out = mdx;
  return Run(connection, mdx);
}

}  // namespace

std::shared_ptr<provider::CellsetData> RunQueryBody(const ApiContext& context, const nlohmann::json& body,
                                                    std::string* mdx_out, const StatementAmendment& amend) {
  const std::string data_source = TextMember(body, "dataSource");
  const std::string catalog = TextMember(body, "catalog");
  const std::string mdx = TextMember(body, "mdx");
  const std::string view = TextMember(body, "view");
  if (mdx.empty() == view.empty()) throw ApiError(400, "the body needs either 'mdx' or 'view'");
  if (!mdx.empty()) return RunAmended(context.Connect(data_source, catalog), mdx, mdx_out, amend);
  olap::DataSource source;
  auto cube_view = source.CreateExtendedCubeView(PlaceDefinition(context, view, data_source, catalog));
  return RunAmended(cube_view->Cube()->Catalog()->ActiveConnection(), cube_view->QueryMDX(), mdx_out, amend);
}

}  // namespace orvex::api
