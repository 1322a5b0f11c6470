#include "api/api_calls.h"

namespace orvex::api {

const std::vector<ApiCall>& ApiCalls() {
  static const std::vector<ApiCall> calls = {
      {"GET", "datasources", DataSourcesCall},
      {"POST", "query", QueryCall},
      {"GET", "views", ViewsCall},
      {"GET", "view", ViewCall},
      {"POST", "view", SaveViewCall},
      {"POST", "view/delete", DeleteViewCall},
      {"POST", "folder", AddFolderCall},
      {"POST", "folder/delete", DeleteFolderCall},
      {"POST", "export", ExportCall},
      {"GET", "catalogs", CatalogsCall},
      {"GET", "cubes", CubesCall},
      {"GET", "members", MembersCall},
      {"POST", "drillthrough", DrillthroughCall},
  };
  return calls;
}

}  // namespace orvex::api
