#pragma once
#include "api/api_service.h"

// The calls of the JSON API, one function each, listed in ApiCalls().
namespace orvex::api {

// GET /api/datasources: {"dataSources": ["localhost", ...]}, the default first.
void DataSourcesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

}  // namespace orvex::api
