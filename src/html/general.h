#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/asp/request.h"
#include "platform/asp/response.h"

// The routines that every page writer of the front end and of the view
// renderer shares: localised texts, encoders for the places text lands in, the
// hosting page's own URL and the cache-forbidding headers. Every routine passes
// errors on with "General" and its own name added to the error-source trail.
namespace orvex::frontend {

// The calling thread's locale identifier, asked afresh on every call.
int32_t GetLCID();

// Text `lngNumber` of the front end's table in this thread's language: Dutch
// when the thread's locale was exactly 1043 at its first call, English
// otherwise, for the life of the thread. Throws ComError 326 for a number
// without a text.
std::string ReadString(int32_t lngNumber);

// For HTML text and attribute values: "&", the double quote, "<" and ">"
// become entities; the apostrophe passes unchanged, so attribute values that
// hold user text must be written in double quotes.
std::string HTMLEncode(std::string_view strText);

// For a URL's query string: digits, letters A to Z and "_" pass; every other
// byte, each byte of a non-ASCII character included, becomes "%XX".
std::string URLEncode(std::string_view strText);

// For a JavaScript string literal in single or double quotes: escapes the
// backslash, line feed, carriage return and both quotes, and writes "<" as
// \x3C so that no text can close the script element it stands in.
std::string JavaScriptStringEncode(std::string_view strText);

// The hosting page's own path: the server variable "URL" up to its first "?".
std::string GetURL(const asp::Request& objRequest);

// Tells browsers and proxies not to keep the page.
void PreventCaching(asp::Response& objResponse);

}  // namespace orvex::frontend
