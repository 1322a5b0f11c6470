#include "api/api_calls.h"

namespace orvex::api {

void DataSourcesCall(const ApiContext& context, const ApiRequest&, ApiResponse& response) {
  nlohmann::json names = nlohmann::json::array();
  names.push_back(context.Options().default_data_source);
  for (const std::string& name : context.Options().data_sources) {
    if (name != context.Options().default_data_source) names.push_back(name);
  }
  response.body = nlohmann::json{{"dataSources", names}}.dump();
}

}  // namespace orvex::api
