#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace orvex::xmla {

// Where a response goes, piece by piece. Returns false when the receiver is
// gone (the client closed the connection); writing then stops.
using Sink = std::function<bool(std::string_view)>;

// Writes XML text to a sink through a buffer of bounded size, so that a large
// answer never sits whole in memory. Every text and attribute value passes
// through Escape. One thread at a time.
class XmlWriter {
 public:
  explicit XmlWriter(Sink sink, size_t buffer_bytes = 64 * 1024);
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;
  ~XmlWriter();

  // Markup as it is; the caller vouches for it.
  XmlWriter& Raw(std::string_view markup);
  // Character data, escaped.
  XmlWriter& Text(std::string_view text);
  // <name>text</name>, with the text escaped.
  XmlWriter& Element(std::string_view name, std::string_view text);
  // Sends what is buffered; false once the sink has refused.
  bool Flush();
  bool failed() const { return failed_; }

 private:
  Sink sink_;
  size_t buffer_bytes_;
  std::string buffer_;
  bool failed_ = false;
};

// `text` safe inside an element or a quoted attribute: &, <, >, " and ' as
// entities, carriage returns and tabs as character references, and the
// control characters that XML 1.0 cannot carry dropped.
std::string Escape(std::string_view text);
// Escape, appended to `out`.
void AppendEscaped(std::string& out, std::string_view text);

// `name` as an XML element name: characters a name cannot hold become _xHHHH_
// (and an underscore that would read as such an escape is escaped itself).
std::string EncodeName(std::string_view name);

}  // namespace orvex::xmla
