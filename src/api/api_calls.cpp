#include "api/api_calls.h"

namespace orvex::api {

const std::vector<ApiCall>& ApiCalls() {
  static const std::vector<ApiCall> calls = {
      {"GET", "datasources", DataSourcesCall},
      {"POST", "drillthrough", DrillthroughCall},
  };
  return calls;
}

}  // namespace orvex::api
