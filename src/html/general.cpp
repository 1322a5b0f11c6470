#include "html/general.h"

#include <chrono>

#include "errors/trail.h"
#include "resources/frontend_strings.h"

namespace orvex::frontend {
namespace {

constexpr std::string_view kModule = "General";

// `text` with every character for which `replacement` gives a text replaced by
// it; one pass, so that no replacement is replaced again.
template <class Replacement>
std::string Escape(std::string_view text, Replacement replacement) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    std::string_view replaced = replacement(c);
    if (replaced.empty()) {
      escaped += c;
    } else {
      escaped += replaced;
    }
  }
  return escaped;
}

}  // namespace

int32_t GetLCID() {
  return Trail(kModule, "GetLCID", [] { return StringTable::GetLCID(); });
}

std::string ReadString(int32_t lngNumber) {
  return Trail(kModule, "ReadString", [&] { return FrontendStrings().ReadString(lngNumber); });
}

std::string HTMLEncode(std::string_view strText) {
  return Trail(kModule, "HTMLEncode", [&] {
    return Escape(strText, [](char c) -> std::string_view {
      switch (c) {
        case '&': return "&amp;";
        case '"': return "&quot;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        default: return {};
      }
    });
  });
}

std::string URLEncode(std::string_view strText) {
  return Trail(kModule, "URLEncode", [&] {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(strText.size());
    for (char c : strText) {
      bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      if (plain) {
        encoded += c;
      } else {
        auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0F];
      }
    }
    return encoded;
  });
}

std::string JavaScriptStringEncode(std::string_view strText) {
  return Trail(kModule, "JavaScriptStringEncode", [&] {
    return Escape(strText, [](char c) -> std::string_view {
      switch (c) {
        case '\\': return "\\\\";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '"': return "\\\"";
        case '\'': return "\\'";
        // "</script>" inside a string literal would end the script element.
        case '<': return "\\x3C";
        default: return {};
      }
    });
  });
}

std::string GetURL(const asp::Request& objRequest) {
  return Trail(kModule, "GetURL", [&] {
    std::string url = objRequest.ServerVariables().Item("URL").ToString();
    return url.substr(0, url.find('?'));
  });
}

void PreventCaching(asp::Response& objResponse) {
  Trail(kModule, "PreventCaching", [&] {
    objResponse.SetExpires(0);
    objResponse.SetExpiresAbsolute(std::chrono::system_clock::now() - std::chrono::hours(24));
    objResponse.AddHeader("pragma", "no-cache");
    objResponse.AddHeader("cache-control", "private");
    objResponse.SetCacheControl("no-cache");
  });
}

}  // namespace orvex::frontend
