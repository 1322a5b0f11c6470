#include "api/api_calls.h"

namespace orvex::api {

void CatalogsCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  auto connection = context.Connect(OptionalParam(request, "dataSource"));
  nlohmann::json names = nlohmann::json::array();
  auto rows = connection->OpenSchema(provider::Connection::kSchemaCatalogs);
  for (; !rows->Eof(); rows->MoveNext()) names.push_back(rows->Field("CATALOG_NAME").ToString());
  response.body = JsonText({{"catalogs", names}});
}

}  // namespace orvex::api
