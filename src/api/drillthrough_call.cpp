#include "api/api_calls.h"
#include "export/csv_writer.h"
#include "provider/session.h"

namespace orvex::api {

namespace {

// A page holds at most this many rows: a statement's rows stay bounded by its MAXROWS anyway.
constexpr int64_t kMaxLimit = 100000;
constexpr int64_t kDefaultLimit = 1000;

// A whole number of a body at least `least`; `fallback` when absent; ApiError 400 otherwise.
int64_t CountMember(const nlohmann::json& body, const std::string& name, int64_t least, int64_t fallback) {
  auto found = body.find(name);
  if (found == body.end() || found->is_null()) return fallback;
  if (!found->is_number_integer() || found->get<int64_t>() < least) {
    throw ApiError(400, "'" + name + "' must be a whole number of at least " + std::to_string(least));
  }
  return found->get<int64_t>();
}

nlohmann::json JsonValue(const Variant& value) {
  switch (value.type()) {
    case Variant::Type::kBoolean: return value.ToBool();
    case Variant::Type::kLong:
    case Variant::Type::kDouble: return value.ToDouble();
    case Variant::Type::kString: return value.ToString();
    default: return nullptr;
  }
}

}  // namespace

void DrillthroughCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  nlohmann::json body = BodyObject(request);
  std::string mdx = TextMember(body, "mdx");
  if (mdx.empty()) throw ApiError(400, "the call needs 'mdx', a DRILLTHROUGH statement");
  std::string format = OptionalParam(request, "format", "json");
  if (format != "json" && format != "csv") throw ApiError(400, "'format' must be json or csv");
  bool csv = format == "csv";
  int64_t offset = CountMember(body, "offset", 0, 0);
  // A file holds every row unless a page is asked for.
  int64_t limit = CountMember(body, "limit", 1, csv ? kMaxLimit : kDefaultLimit);
  if (limit > kMaxLimit) throw ApiError(400, "'limit' must be at most " + std::to_string(kMaxLimit));

  auto connection = context.Connect(TextMember(body, "dataSource"), TextMember(body, "catalog"));
  provider::TabularData data = connection->GetSession().Drillthrough(connection->DefaultDatabase(), mdx);
  const auto total = static_cast<int64_t>(data.rows.size());
  size_t first = static_cast<size_t>(std::min(offset, total));
  size_t last = static_cast<size_t>(std::min(total, static_cast<int64_t>(first) + limit));

  if (csv) {
    // The page asked for, as a table of its own.
    provider::TabularData page{data.columns, {}};
    page.rows.assign(data.rows.begin() + static_cast<std::ptrdiff_t>(first),
                     data.rows.begin() + static_cast<std::ptrdiff_t>(last));
    std::string text = exports::TabularCsv(page);
    response.content_type = "text/csv; charset=utf-8";
    response.headers.emplace_back("Content-Disposition", "attachment; filename=\"drillthrough.csv\"");
    response.body = std::move(text);
    return;
  }
  nlohmann::json rows = nlohmann::json::array();
  for (size_t row = first; row < last; ++row) {
    nlohmann::json values = nlohmann::json::array();
    for (const Variant& value : data.rows[row]) values.push_back(JsonValue(value));
    rows.push_back(std::move(values));
  }
  response.body = nlohmann::json{{"columns", data.columns}, {"rows", std::move(rows)}, {"offset", first},
                                 {"total", total}}
                      .dump();
}

}  // namespace orvex::api
