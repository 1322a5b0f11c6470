#include <algorithm>

#include "api/api_calls.h"
#include "api/query_body.h"
#include "export/csv_writer.h"
#include "export/xlsx_writer.h"
#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::api {

namespace {

constexpr size_t kMaxFileName = 100;

// The file name of the download, in a header's quotes: letters, digits,
// blanks, dots, dashes and underscores of the name asked for, nothing that
// could end the quotes, climb folders or hide the extension.
std::string SafeFileName(const std::string& wanted) {
  std::string name;
  for (char c : wanted.substr(0, kMaxFileName)) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                 c == '.' || c == '-' || c == '_';
    name += plain ? c : '_';
  }
  size_t first = name.find_first_not_of(" ._");
  size_t last = name.find_last_not_of(" ._");
  if (first == std::string::npos) return "export";
  return name.substr(first, last - first + 1);
}

// The same name with its letters beyond ASCII kept, percent-encoded for the
// header's filename* (RFC 5987), which browsers prefer; "" where the plain
// name says it all.
std::string EncodedFileName(const std::string& wanted, const std::string& extension) {
  if (std::all_of(wanted.begin(), wanted.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return "";
  }
  // Cut at the limit, then back to the start of a character.
  size_t end = std::min(wanted.size(), kMaxFileName);
  while (end < wanted.size() && end > 0 && (static_cast<unsigned char>(wanted[end]) & 0xC0) == 0x80) --end;
  std::string encoded;
  for (char c : wanted.substr(0, end)) {
    auto byte = static_cast<unsigned char>(c);
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '-' || c == '_';
    if (plain) {
      encoded += c;
    } else if (byte >= 0x80 || c == ' ') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0xF];
    } else {
      encoded += '_';
    }
  }
  // No leading dot: the file would be hidden.
  size_t first = encoded.find_first_not_of("._");
  if (first == std::string::npos) return "";
  return "UTF-8''" + encoded.substr(first) + "." + extension;
}

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the words CELL PROPERTIES stand in the text (a plain scan: a
// library regex recurses per character and a long statement could overflow
// the stack).
bool NamesCellProperties(const std::string& mdx) {
  const std::string upper = ToUpper(mdx);
  for (size_t at = upper.find("CELL"); at != std::string::npos; at = upper.find("CELL", at + 1)) {
    if (at > 0 && IsWordChar(upper[at - 1])) continue;
    size_t next = at + 4;
    size_t word = upper.find_first_not_of(" \t\r\n\f\v", next);
    if (word == next || word == std::string::npos) continue;
    if (upper.compare(word, 10, "PROPERTIES") != 0) continue;
    if (word + 10 < upper.size() && IsWordChar(upper[word + 10])) continue;
    return true;
  }
  return false;
}

// A statement asks for the cells' format strings, which the XLSX number
// formats are made from, unless it chose its cell properties itself.
std::string WithFormatStrings(const std::string& mdx) {
  if (NamesCellProperties(mdx)) return mdx;
  // On a line of its own, so that a trailing line comment cannot swallow it.
  return mdx + "\nCELL PROPERTIES VALUE, FORMATTED_VALUE, FORMAT_STRING";
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
  // Raw statements and views alike: the view's statement is built as the
  // classic page builds it, and only the file asks for the format strings.
  std::shared_ptr<provider::CellsetData> cellset = RunQueryBody(context, body, nullptr, WithFormatStrings);
  if (format == "csv") {
    response.body = exports::CellsetCsv(*cellset);
    response.content_type = "text/csv; charset=utf-8";
  } else {
    response.body = exports::CellsetXlsx(*cellset);
    response.content_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
  }
  std::string safe = SafeFileName(file_name);
  std::string disposition = "attachment; filename=\"" + safe + "." + format + "\"";
  std::string encoded = EncodedFileName(file_name, format);
  if (!encoded.empty()) disposition += "; filename*=" + encoded;
  response.headers.emplace_back("Content-Disposition", disposition);
}

}  // namespace orvex::api
