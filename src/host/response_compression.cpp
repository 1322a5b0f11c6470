#include "host/response_compression.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "platform/text.h"

namespace orvex::host {
namespace {

constexpr size_t kSmallestWorthCompressing = 1024;

// Sends `body` as it is: a sized content provider bypasses the library's compression.
void SendAsIs(httplib::Response& response, std::string body, const std::string& content_type) {
  auto shared = std::make_shared<std::string>(std::move(body));
  response.body.clear();
  response.set_content_provider(
      shared->size(), content_type,
      [shared](size_t offset, size_t length, httplib::DataSink& sink) {
        return sink.write(shared->data() + offset, length);
      },
      nullptr);
}

}  // namespace

bool AcceptsGzip(std::string_view accept_encoding) {
  bool star = false;
  for (const std::string& item : Split(accept_encoding, ",")) {
    std::string entry = ToLower(Trim(item));
    std::string name = Trim(entry.substr(0, entry.find(';')));
    bool refused = false;
    if (size_t q = entry.find("q="); q != std::string::npos) {
      std::string value = Trim(entry.substr(q + 2));
      refused = !value.empty() && std::strtod(value.c_str(), nullptr) <= 0;
    }
    if (name == "gzip" || name == "x-gzip") return !refused;
    if (name == "*") star = !refused;
  }
  return star;
}

bool WorthCompressing(std::string_view content_type, size_t size) {
  if (size < kSmallestWorthCompressing) return false;
  std::string type = ToLower(Trim(content_type.substr(0, content_type.find(';'))));
  return type.rfind("text/", 0) == 0 || type == "application/javascript" || type == "application/json" ||
         type == "application/xml" || type == "image/svg+xml";
}

std::optional<std::string> GzipFast(std::string_view data, std::chrono::nanoseconds budget) {
  const auto start = std::chrono::steady_clock::now();
  constexpr size_t kPiece = 64 * 1024;
  z_stream stream{};
  // 15 + 16: a gzip header and trailer around the deflate stream.
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::nullopt;
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  int result = Z_OK;
  for (size_t offset = 0; result == Z_OK;) {
    const size_t piece = std::min(kPiece, data.size() - offset);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + offset));
    stream.avail_in = static_cast<uInt>(piece);
    offset += piece;
    const bool last = offset == data.size();
    // The output has room for the whole bound, so one call takes each piece whole.
    result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
    if (last || std::chrono::steady_clock::now() - start > budget) break;
  }
  const size_t written = stream.total_out;
  deflateEnd(&stream);
  if (result != Z_STREAM_END) return std::nullopt;
  out.resize(written);
  return out;
}

void SendCompressedWherePays(const httplib::Request& request, httplib::Response& response,
                             std::chrono::nanoseconds page_time) {
  if (response.body.empty()) return;  // nothing the library would compress
  const std::string content_type = response.get_header_value("Content-Type");
  // Content-Type is set again by the content provider.
  response.headers.erase("Content-Type");
  if (WorthCompressing(content_type, response.body.size())) {
    response.set_header("Vary", "Accept-Encoding");
    // A body over 4 GB is beyond what one zlib call takes; such a reply goes out as it is.
    if (AcceptsGzip(request.get_header_value("Accept-Encoding")) && response.body.size() < (1ull << 32)) {
      if (std::optional<std::string> packed = GzipFast(response.body, page_time / 10); packed && packed->size() < response.body.size()) {
        response.set_header("Content-Encoding", "gzip");
        SendAsIs(response, std::move(*packed), content_type);
        return;
      }
    }
  }
  SendAsIs(response, std::move(response.body), content_type);
}

}  // namespace orvex::host
