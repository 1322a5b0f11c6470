#include "platform/asp/request.h"

namespace orvex::asp {

StringList Request::Item(std::string_view key) const {
  for (const RequestCollection* collection : {&QueryString(), &Form(), &Cookies(), &ServerVariables()}) {
    if (collection->Contains(key)) return collection->Item(key);
  }
  return StringList();
}

}  // namespace orvex::asp
