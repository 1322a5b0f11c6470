#include "api/api_service.h"

#include <chrono>
#include <cstdio>

#include "platform/com/com_error.h"

namespace orvex::api {

namespace {

std::string ErrorBody(int status, const std::string& message) {
  return nlohmann::json{{"status", status}, {"error", message}}.dump();
}

// Splices "millis" into a JSON object answer, so every call reports its time
// without each one measuring it.
void AddMillis(ApiResponse& response, double millis) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", millis);
  response.headers.emplace_back("Server-Timing", std::string("api;dur=") + text);
  if (response.content_type.rfind("application/json", 0) != 0) return;
  size_t close = response.body.find_last_of('}');
  if (close == std::string::npos) return;
  size_t before = response.body.find_last_not_of(" \t\r\n", close - 1);
  bool empty = before != std::string::npos && response.body[before] == '{';
  response.body.insert(close, std::string(empty ? "" : ",") + "\"millis\":" + text);
}

}  // namespace

std::unique_ptr<provider::Connection> ApiContext::Connect(const std::string& data_source,
                                                          const std::string& catalog) const {
  const std::string& name = data_source.empty() ? options_.default_data_source : data_source;
  // A connection string has no quoting: a name with a separator could add items of its own.
  for (const std::string* text : {&name, &catalog}) {
    if (text->find_first_of(";=\r\n") != std::string::npos) {
      throw ApiError(400, "no data source or catalog name holds ';', '=' or a line break: '" + *text + "'");
    }
  }
  std::string connection_string = "Provider=MSOLAP;Data Source=" + name;
  if (!catalog.empty()) connection_string += ";SOURCE_DSN=" + catalog;
  auto connection = std::make_unique<provider::Connection>();
  connection->Open(connection_string);
  return connection;
}

ApiResponse ApiService::Handle(const ApiRequest& request) const {
  const auto start = std::chrono::steady_clock::now();
  ApiResponse response;
  const ApiCall* found = nullptr;
  bool other_method = false;
  for (const ApiCall& call : ApiCalls()) {
    if (call.name != request.call) continue;
    if (call.method == request.method || (call.method == "GET" && request.method == "HEAD")) {
      found = &call;
      break;
    }
    other_method = true;
  }
  auto fail = [&response](int status, const std::string& message) {
    response = ApiResponse{};
    response.status = status;
    response.body = ErrorBody(status, message);
  };
  if (!found) {
    if (other_method) {
      fail(405, "/api/" + request.call + " does not answer " + request.method);
    } else {
      fail(404, "there is no call /api/" + request.call);
    }
  } else {
    try {
      found->handler(context_, request, response);
    } catch (const ApiError& error) {
      fail(error.Status(), error.what());
    } catch (const ComError& error) {
      // A name that does not resolve is a missing resource, like an unknown cube.
      fail(error.number() == errors::kItemNotFound ? 404 : 400, error.description());
    } catch (const std::exception& error) {
      fail(500, error.what());
    }
  }
  AddMillis(response, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  return response;
}

std::string RequiredParam(const ApiRequest& request, const std::string& name) {
  auto found = request.params.find(name);
  if (found == request.params.end() || found->second.empty()) {
    throw ApiError(400, "the call needs the parameter '" + name + "'");
  }
  return found->second;
}

std::string OptionalParam(const ApiRequest& request, const std::string& name, const std::string& fallback) {
  auto found = request.params.find(name);
  return found == request.params.end() ? fallback : found->second;
}

nlohmann::json BodyObject(const ApiRequest& request) {
  nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) throw ApiError(400, "the request body is no JSON object");
  return body;
}

std::string JsonText(const nlohmann::json& answer) {
  return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string TextMember(const nlohmann::json& object, const std::string& name) {
  auto found = object.find(name);
  if (found == object.end() || found->is_null()) return "";
  if (!found->is_string()) throw ApiError(400, "'" + name + "' must be a text");
  return found->get<std::string>();
}

}  // namespace orvex::api
