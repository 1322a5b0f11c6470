#include "platform/asp/memory_request.h"

namespace orvex::asp {

MemoryRequest MemoryRequest::Get(std::string_view url) {
  MemoryRequest request;
  size_t question = url.find('?');
  request.SetServerVariable("URL", std::string(url.substr(0, question)));
  request.SetServerVariable("REQUEST_METHOD", "GET");
  request.SetQueryString(question == std::string_view::npos ? "" : url.substr(question + 1));
  return request;
}

void MemoryRequest::SetQueryString(std::string_view text) {
  query_string_ = RequestCollection::FromUrlEncoded(text);
  SetServerVariable("QUERY_STRING", std::string(text));
}

void MemoryRequest::SetForm(std::string_view text) { form_ = RequestCollection::FromUrlEncoded(text); }

void MemoryRequest::SetServerVariable(std::string_view name, std::string value) {
  server_variables_.Set(name, std::move(value));
}

}  // namespace orvex::asp
