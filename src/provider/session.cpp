#include "provider/session.h"

#include "platform/com/com_error.h"

namespace orvex::provider {

TabularData Session::Drillthrough(const std::string&, std::string_view) {
  throw ComError(static_cast<int32_t>(0x800A0CB3u), "Provider",
                 "This provider does not support drill-through: it cannot show the fact rows behind a cell.");
}

}  // namespace orvex::provider
