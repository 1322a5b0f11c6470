#pragma once
#include <string>
#include <string_view>

#include "platform/asp/request_collection.h"
#include "platform/com/variant.h"

namespace orvex::asp {

// The hosting page's Request object. Values are UTF-8 text, already decoded.
// One request, one thread.
class Request : public ComObject {
 public:
  std::string TypeName() const override { return "IRequest"; }

  virtual const RequestCollection& QueryString() const = 0;
  virtual const RequestCollection& Form() const = 0;
  virtual const RequestCollection& Cookies() const = 0;
  // "URL" (the page's path), "SERVER_NAME", "QUERY_STRING", "REQUEST_METHOD", ...
  virtual const RequestCollection& ServerVariables() const = 0;

  // The combined lookup by key, Request(key): the first collection that holds
  // the key answers, in the order query string, form, cookies, server
  // variables. A key given with an empty value still answers, so it hides the
  // same key of a later collection. No collection holding it gives an empty list.
  StringList Item(std::string_view key) const;
};

}  // namespace orvex::asp
