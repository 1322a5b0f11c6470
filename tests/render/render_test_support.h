#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Helpers of the renderer's tests: views of the Tiny and Odd catalogs written
// by a View with requests and responses in memory.
namespace orvex::render::testing {

// `text` form-encoded, as a browser posts a field's value.
std::string FormValue(std::string_view text);
// "name=value&..." of the pairs, each value form-encoded.
std::string Form(const std::vector<std::pair<std::string, std::string>>& fields);

// A view definition of the Tiny catalog's Sales cube in set form: one axis
// element per entry of `axes`, each a list of tuples of member unique names.
// `ranges` is the inner text of the ranges element; `attributes` are added to
// every axis element.
std::string TinyView(const std::vector<std::vector<std::vector<std::string>>>& axes,
                     std::string_view measure = "Unit Sales", std::string_view ranges = "",
                     std::string_view attributes = "");

// What a request carries besides its form fields.
struct RequestSetup {
  std::string url = "/explorer?id=1";
  std::string server_name;  // SERVER_NAME; empty leaves it out
  std::string default_dsn;  // the front end's default data source
  std::string definition;   // the definition handed to the page writer
  bool with_style_sheet = true;
};

// The page that View::WriteHTMLTablePage writes for a post of `form`.
std::string WriteTablePage(const std::string& form, int32_t interactivity = 2, const RequestSetup& setup = {});
// The page that View::WriteXMLPage writes; throws what it throws.
std::string WriteXmlPage(const std::string& form, int32_t format = 3);

// The lines of a page between the view table's opening and closing lines.
std::string TableOf(const std::string& page);
// The lines of synchronize(), from "function synchronize() {" to its closing brace.
std::string SynchronizeOf(const std::string& page);
// The value of the hidden field `name` of the page, HTML-decoded.
std::string HiddenField(const std::string& page, std::string_view name);

// Expected text from tests/render/pages.
std::string Expected(const std::string& name);

}  // namespace orvex::render::testing
