#include "api/api_calls.h"
#include "api/query_body.h"
#include "engine/provider/cellset_text.h"

namespace orvex::api {

void QueryCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  std::string mdx;
  auto data = RunQueryBody(context, BodyObject(request), &mdx);
  // The result keeps orvex-mdx's text exactly; the statement that ran goes last.
  response.body = engine::CellsetToJson(*data);
  response.body.insert(response.body.find_last_of('}'), ", \"mdx\": " + nlohmann::json(mdx).dump());
}

}  // namespace orvex::api
