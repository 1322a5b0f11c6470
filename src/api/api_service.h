#pragma once
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "provider/connection.h"

namespace orvex {
class WebFileSystem;
}  // namespace orvex

// The JSON API under /api/: each call a function of one request, answered
// as JSON (or a file, for exports) with the time it took. Calls go through
// the provider API and the object model, as the pages do, never around them.
namespace orvex::api {

struct ApiRequest {
  std::string method;  // "GET", "POST"
  // The call's name: the path below the API's prefix ("catalogs", "members").
  std::string call;
  // The query string's parameters, decoded.
  std::map<std::string, std::string> params;
  std::string body;
};

struct ApiResponse {
  int status = 200;
  std::string content_type = "application/json; charset=utf-8";
  // JSON answers are one object; the service adds its "millis" member.
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// What a call throws to answer with a status other than 200; its message is
// the answer's "error". A ComError from the provider becomes a 400 with the
// engine's own message.
class ApiError : public std::runtime_error {
 public:
  ApiError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

struct ApiOptions {
  // The data source of a request that names none.
  std::string default_data_source = "localhost";
  // Every data source name the server knows, the default first.
  std::vector<std::string> data_sources;
  // Applies the server's saved-views settings (folder, limits) to a store.
  std::function<void(WebFileSystem&)> configure_views;
};

// What a call gets besides its request.
class ApiContext {
 public:
  explicit ApiContext(ApiOptions options) : options_(std::move(options)) {}
  const ApiOptions& Options() const { return options_; }
  // An open connection to `data_source` ("" for the server's own), its default
  // database `catalog` when one is given. Throws ApiError 400 for a name no
  // connection string can carry, ComError when the provider refuses it.
  std::unique_ptr<provider::Connection> Connect(const std::string& data_source, const std::string& catalog = "") const;

 private:
  ApiOptions options_;
};

using ApiHandler = std::function<void(const ApiContext&, const ApiRequest&, ApiResponse&)>;

struct ApiCall {
  std::string method;
  std::string name;
  ApiHandler handler;
};

// Every call the API answers (api_calls.cpp).
const std::vector<ApiCall>& ApiCalls();

// Thread-safe: calls share nothing but the options.
class ApiService {
 public:
  explicit ApiService(ApiOptions options) : context_(std::move(options)) {}
  // Never throws: an unknown call is a 404, a wrong method a 405, a failing
  // call its status, each as {"status", "error", "millis"}.
  ApiResponse Handle(const ApiRequest& request) const;

 private:
  ApiContext context_;
};

// A query-string parameter; ApiError 400 naming it when it is missing or empty.
std::string RequiredParam(const ApiRequest& request, const std::string& name);
std::string OptionalParam(const ApiRequest& request, const std::string& name, const std::string& fallback = "");
// A POST body as a JSON object; ApiError 400 when it is none.
nlohmann::json BodyObject(const ApiRequest& request);
// An answer's JSON text; bytes that are not UTF-8 (a store's odd caption) become U+FFFD instead of failing the call.
std::string JsonText(const nlohmann::json& answer);
// A text member of a body object: "" when absent; ApiError 400 when it is no text.
std::string TextMember(const nlohmann::json& object, const std::string& name);

}  // namespace orvex::api
