#pragma once
#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "api/api_service.h"
#include "provider/cellset_data.h"

// The query path shared by the calls that run a statement (query, export).
namespace orvex::api {

// Runs the statement a query body describes and returns its result, which
// keeps alive everything it refers to (it outlives the connection).
// The body is {"dataSource", "catalog", "mdx"} or {"dataSource", "catalog",
// "view": "<cubeView>...</cubeView>"}: a view definition (with its optional
// filters and measures) is read by the object model, which builds the
// statement; its own data source and catalog are used where the body names
// none. A missing data source is the server's own. `mdx_out`, when given,
// receives the statement that ran. Throws ApiError 400 for a body that holds
// neither or both, or names a data source, catalog or provider that no
// connection string can carry; ComError with the engine's or the object
// model's message when the statement or the definition fails.
// `amend`, when given, rewrites the statement (written or built from the
// view) before it runs; should the rewritten one fail, the statement as it
// was runs instead, so that its own message is the one reported.
using StatementAmendment = std::function<std::string(const std::string&)>;
std::shared_ptr<provider::CellsetData> RunQueryBody(const ApiContext& context, const nlohmann::json& body,
                                                    std::string* mdx_out, const StatementAmendment& amend = {});

}  // namespace orvex::api
