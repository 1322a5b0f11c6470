#pragma once
#include "api/api_service.h"

// The calls of the JSON API, one function each, listed in ApiCalls().
namespace orvex::api {

// GET /api/datasources: {"dataSources": ["localhost", ...]}, the default first.
void DataSourcesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// GET /api/catalogs?dataSource=: {"catalogs": [...]}, in name order.
void CatalogsCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// GET /api/cubes?dataSource=&catalog=[&cube=]: the cubes with their dimensions,
// hierarchies, levels, measures and named sets.
void CubesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// GET /api/members?dataSource=&catalog=&cube=[&hierarchy=][&level=][&parent=][&search=]&offset=&limit=:
// a level's members, a member's children or a search by caption, paged.
void MembersCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

}  // namespace orvex::api
