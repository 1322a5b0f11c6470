#include "api/api_calls.h"

namespace orvex::api {

const std::vector<ApiCall>& ApiCalls() {
  static const std::vector<ApiCall> calls = {
      {"GET", "datasources", DataSourcesCall},
      {"GET", "catalogs", CatalogsCall},
      {"GET", "cubes", CubesCall},
      {"GET", "members", MembersCall},
  };
  return calls;
}

}  // namespace orvex::api
