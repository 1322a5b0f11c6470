#pragma once
#include "api/api_service.h"

// The calls of the JSON API, one function each, listed in ApiCalls().
namespace orvex::api {

// GET /api/datasources: {"dataSources": ["localhost", ...]}, the default first.
void DataSourcesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// POST /api/drillthrough (?format=csv for a file): the body {"dataSource",
// "catalog", "mdx": "DRILLTHROUGH ...", "offset", "limit"} answers
// {"columns", "rows", "offset", "total"}, a page of the statement's rows
// (all of them, MAXROWS at most, are counted in "total").
void DrillthroughCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

}  // namespace orvex::api
