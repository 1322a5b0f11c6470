#include <regex>

#include "api/api_calls.h"
#include "export/csv_writer.h"
#include "export/xlsx_writer.h"
#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::api {

namespace {

// The file name of the download: letters, digits, blanks, dots, dashes and
// underscores of the name asked for (else the catalog's), nothing that could
// end the header's quotes, climb folders or hide the extension.
std::string SafeFileName(const std::string& wanted) {
  std::string name;
  for (char c : wanted) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                 c == '.' || c == '-' || c == '_';
    name += plain ? c : '_';
    if (name.size() == 100) break;
  }
  size_t first = name.find_first_not_of(" ._");
  size_t last = name.find_last_not_of(" ._");
  if (first == std::string::npos) return "export";
  return name.substr(first, last - first + 1);
}

// A statement asks for the cells' format strings, which the XLSX number
// formats are made from, unless it chose its cell properties itself.
std::string WithFormatStrings(const std::string& mdx) {
  static const std::regex kCellProperties(R"(\bCELL\s+PROPERTIES\b)", std::regex::icase);
  if (std::regex_search(mdx, kCellProperties)) return mdx;
  // On a line of its own, so that a trailing line comment cannot swallow it.
  return mdx + "\nCELL PROPERTIES VALUE, FORMATTED_VALUE, FORMAT_STRING";
}

std::shared_ptr<provider::CellsetData> RunExportQuery(const ApiContext& context, const nlohmann::json& body) {
  std::string mdx = TextMember(body, "mdx");
  if (mdx.empty()) throw ApiError(400, "the body needs 'mdx', the statement to export");
  auto connection = context.Connect(TextMember(body, "dataSource"), TextMember(body, "catalog"));
  provider::Session& session = connection->GetSession();
  std::string catalog = connection->DefaultDatabase();
  try {
    return session.Execute(catalog, WithFormatStrings(mdx));
  } catch (const ComError&) {
    // What failed may be our addition: the statement as written says what is wrong, or runs.
    return session.Execute(catalog, mdx);
  }
}

}  // namespace

void ExportCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  std::string format = ToLower(RequiredParam(request, "format"));
  if (format != "csv" && format != "xlsx") {
    throw ApiError(400, "the format is csv or xlsx, not '" + request.params.at("format") + "'");
  }
  nlohmann::json body = BodyObject(request);
  std::string file_name = TextMember(body, "fileName");
  if (file_name.empty()) file_name = TextMember(body, "catalog");
  std::shared_ptr<provider::CellsetData> cellset = RunExportQuery(context, body);
  if (format == "csv") {
    response.body = exports::CellsetCsv(*cellset);
    response.content_type = "text/csv; charset=utf-8";
  } else {
    response.body = exports::CellsetXlsx(*cellset);
    response.content_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
  }
  response.headers.emplace_back("Content-Disposition",
                                "attachment; filename=\"" + SafeFileName(file_name) + "." + format + "\"");
}

}  // namespace orvex::api
