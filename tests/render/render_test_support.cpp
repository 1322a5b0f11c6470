#include "render_test_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/asp/memory_request.h"
#include "platform/asp/memory_response.h"
#include "platform/asp/server.h"
#include "platform/text.h"
#include "render/view.h"
#include "support/page_compare.h"
#include "temp_dir.h"
#include "tiny_engine.h"

namespace orvex::render::testing {
namespace {

// A web root whose style sheet is one short line, so that pages stay short.
const std::filesystem::path& WebRoot() {
  static orvex::testing::TempDir root;
  static const bool written = [] {
    std::filesystem::create_directories(root.path() / "styles");
    std::ofstream(root.path() / "styles" / "default.css") << "/* style */\n";
    return true;
  }();
  (void)written;
  return root.path();
}

std::string Between(const std::string& page, std::string_view first, std::string_view last) {
  size_t start = page.find(first);
  if (start == std::string::npos) return "";
  size_t end = page.find(last, start);
  if (end == std::string::npos) return "";
  return page.substr(start, end + last.size() - start);
}

}  // namespace

std::string FormValue(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_' || c == '.') {
      encoded += c;
    } else if (c == ' ') {
      encoded += '+';
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::string Form(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string form;
  for (const auto& [name, value] : fields) form += (form.empty() ? "" : "&") + name + "=" + FormValue(value);
  return form;
}

std::string TinyView(const std::vector<std::vector<std::vector<std::string>>>& axes, std::string_view measure,
                     std::string_view ranges, std::string_view attributes) {
  std::string xml =
      "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog>"
      "<cube>Sales</cube><measure>" +
      std::string(measure) + "</measure><ranges>" + std::string(ranges) + "</ranges><axes>";
  for (const auto& tuples : axes) {
    xml += "<axis" + std::string(attributes.empty() ? "" : " ") + std::string(attributes) + "><set>";
    for (const auto& tuple : tuples) {
      xml += "<t>";
      for (const std::string& member : tuple) xml += "<m>" + member + "</m>";
      xml += "</t>";
    }
    xml += "</set></axis>";
  }
  return xml + "</axes></cubeView>";
}

std::string WriteTablePage(const std::string& form, int32_t interactivity, const RequestSetup& setup) {
  orvex::testing::ServeTestCatalogs();
  asp::MemoryRequest request = asp::MemoryRequest::Get(setup.url);
  request.SetForm(form);
  if (!setup.server_name.empty()) request.SetServerVariable("SERVER_NAME", setup.server_name);
  asp::MemoryResponse response;
  asp::FolderServer server(setup.with_style_sheet ? WebRoot() : WebRoot() / "nothing");
  View view;
  view.WriteHTMLTablePage(request, response, server, interactivity, setup.default_dsn, setup.definition);
  return response.Body();
}

std::string WriteXmlPage(const std::string& form, int32_t format) {
  orvex::testing::ServeTestCatalogs();
  asp::MemoryRequest request = asp::MemoryRequest::Get("/explorer?id=2");
  request.SetForm(form);
  asp::MemoryResponse response;
  View view;
  view.WriteXMLPage(request, response, format);
  EXPECT_EQ(response.ContentType(), "text/xml");
  return response.Body();
}

std::string TableOf(const std::string& page) {
  return Between(page, "            <table border='0' cellspacing='2' cellpadding='2'>\n", "            </table>\n");
}

std::string SynchronizeOf(const std::string& page) {
  return Between(page, "            function synchronize() {\n",
                 "                wndParams.handleParamChanges = true;\n            }\n");
}

std::string HiddenField(const std::string& page, std::string_view name) {
  const std::string start = "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"";
  size_t at = page.find(start);
  if (at == std::string::npos) return "(missing)";
  at += start.size();
  std::string value = page.substr(at, page.find('"', at) - at);
  for (auto [entity, text] : {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
    value = ReplaceAll(value, entity, text);
  }
  return value;
}

std::string Expected(const std::string& name) { return test::ExpectedPage("tests/render/pages/" + name); }

}  // namespace orvex::render::testing
