#pragma once
#include <httplib.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orvex::host {

// Compression of replies where it pays. The HTTP library would compress every
// text reply with brotli at its slowest setting, which for a large page costs
// more than the page itself; instead a reply is sent as it is, or gzipped at
// zlib's fastest level, which still takes HTML to a fifth or less of its
// size, and only within a time budget: a tenth of what the page itself took.
// Compression that runs over its budget is dropped and the reply goes out as
// it is, so compressing never costs a page more than about a tenth.

// Whether `accept_encoding` (an Accept-Encoding header value) admits gzip:
// listed, or through "*", and not with q=0.
[[nodiscard]] bool AcceptsGzip(std::string_view accept_encoding);

// Whether a reply of this type and size is worth compressing: text, script,
// JSON, XML or SVG, of at least 1 KB.
[[nodiscard]] bool WorthCompressing(std::string_view content_type, size_t size);

// `data` in gzip format at the fastest level; nullopt when zlib fails or when
// compressing takes longer than `budget` (checked after every 64 KB).
[[nodiscard]] std::optional<std::string> GzipFast(
    std::string_view data, std::chrono::nanoseconds budget = std::chrono::nanoseconds::max());

// Replaces the body of `response` by its gzip form when the request admits it
// and it pays, and marks the reply so (Content-Encoding, Vary). The body goes
// out through a content provider of known length, which the library sends as
// it is, never compressing it again. Replies that are not compressed are also
// kept from the library's own compression the same way.
// `page_time` is what writing the reply took; compression may take a tenth of it.
void SendCompressedWherePays(const httplib::Request& request, httplib::Response& response,
                             std::chrono::nanoseconds page_time);

}  // namespace orvex::host
