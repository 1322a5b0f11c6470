#pragma once
#include "api/api_service.h"

// The calls of the JSON API, one function each, listed in ApiCalls().
namespace orvex::api {

// GET /api/datasources: {"dataSources": ["localhost", ...]}, the default first.
void DataSourcesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// POST /api/export?format=csv|xlsx with the body of /api/query: the
// statement's grid as a file to download (export/csv_writer.h, xlsx_writer.h).
void ExportCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// POST /api/query, body {"dataSource", "catalog", "mdx" or "view"}: the cell
// set as orvex-mdx --format json writes it, plus the "mdx" that ran.
void QueryCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// The saved-views store of the classic pane (views_calls.cpp). Folder paths
// are names joined with "/", "" the root; the store's own checks and messages.
// GET /api/views?folder=: {"folder", "folders", "views", "limits"}.
void ViewsCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// GET /api/view?folder=&name=: {"folder", "name", "xml"}.
void ViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// POST /api/view, body {"folder", "name", "xml", "overwrite"}: saves a view definition.
void SaveViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// POST /api/view/delete, body {"folder", "name"}.
void DeleteViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// POST /api/folder, body {"folder", "name"}: a new folder in `folder`.
void AddFolderCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// POST /api/folder/delete, body {"folder"}: the folder with everything in it.
void DeleteFolderCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// GET /api/catalogs?dataSource=: {"catalogs": [...]}, in name order.
void CatalogsCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// GET /api/cubes?dataSource=&catalog=[&cube=]: the cubes with their dimensions,
// hierarchies, levels, measures and named sets.
void CubesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);
// GET /api/members?dataSource=&catalog=&cube=[&hierarchy=][&level=][&parent=][&search=]&offset=&limit=:
// a level's members, a member's children or a search by caption, paged.
void MembersCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

// POST /api/drillthrough (?format=csv for a file): the body {"dataSource",
// "catalog", "mdx": "DRILLTHROUGH ...", "offset", "limit"} answers
// {"columns", "rows", "offset", "total"}, a page of the statement's rows
// (all of them, MAXROWS at most, are counted in "total").
void DrillthroughCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response);

}  // namespace orvex::api
