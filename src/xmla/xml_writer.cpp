#include "xmla/xml_writer.h"

#include <cstdio>

#include "platform/text.h"

namespace orvex::xmla {

XmlWriter::XmlWriter(Sink sink, size_t buffer_bytes) : sink_(std::move(sink)), buffer_bytes_(buffer_bytes) {
  buffer_.reserve(buffer_bytes_ + 1024);
}

XmlWriter::~XmlWriter() { Flush(); }

XmlWriter& XmlWriter::Raw(std::string_view markup) {
  buffer_.append(markup);
  if (buffer_.size() >= buffer_bytes_) Flush();
  return *this;
}

XmlWriter& XmlWriter::Text(std::string_view text) {
  AppendEscaped(buffer_, text);
  if (buffer_.size() >= buffer_bytes_) Flush();
  return *this;
}

XmlWriter& XmlWriter::Element(std::string_view name, std::string_view text) {
  buffer_.append("<").append(name).append(">");
  AppendEscaped(buffer_, text);
  buffer_.append("</").append(name).append(">");
  if (buffer_.size() >= buffer_bytes_) Flush();
  return *this;
}

bool XmlWriter::Flush() {
  if (!failed_ && !buffer_.empty()) failed_ = !sink_(buffer_);
  buffer_.clear();
  return !failed_;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendEscaped(out, text);
  return out;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\r': out += "&#13;"; break;
      case '\t': out += "&#9;"; break;
      case '\n': out += '\n'; break;
      default:
        // XML 1.0 has no way to carry the other control characters, not even as references.
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
  }
}

std::string EncodeName(std::string_view name) {
  std::string out;
  size_t at = 0;
  bool first = true;
  while (at < name.size()) {
    size_t start = at;
    std::optional<char32_t> character = NextUtf8Character(name, at);
    if (!character) continue;
    char32_t c = *character;
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
    bool allowed = letter || (c == '_' && name.substr(start, 2) != "_x") ||
                   (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
    if (allowed) {
      out.append(name.substr(start, at - start));
    } else {
      char hex[16];
      std::snprintf(hex, sizeof hex, "_x%04X_", static_cast<unsigned>(c));
      out += hex;
    }
    first = false;
  }
  return out.empty() ? "_" : out;
}

}  // namespace orvex::xmla
