#include "api/api_calls.h"

#include "platform/text.h"
#include "provider/catalog.h"

namespace orvex::api {
namespace {

std::string TextProperty(const provider::Properties& properties, std::string_view name) {
  return properties.Has(name) ? properties.Item(name).value.ToString() : std::string();
}

nlohmann::json LevelJson(const provider::Level& level) {
  nlohmann::json answer = {{"name", level.Name()},
                           {"uniqueName", level.UniqueName()},
                           {"caption", level.Caption()},
                           {"depth", level.Depth()}};
  const provider::Properties& properties = level.GetProperties();
  // Counting a level's members can mean reading them all; only a provider that knows the count says it.
  if (properties.Has("LEVEL_CARDINALITY")) answer["memberCount"] = properties.Item("LEVEL_CARDINALITY").value.ToLong();
  return answer;
}

nlohmann::json HierarchyJson(const provider::Hierarchy& hierarchy) {
  const provider::Properties& properties = hierarchy.GetProperties();
  nlohmann::json levels = nlohmann::json::array();
  auto listed = hierarchy.GetLevels();
  for (int index = 0; index < listed->Count(); ++index) {
    auto level = listed->Item(index);
    const provider::Properties& level_properties = level->GetProperties();
    if (level_properties.Has("LEVEL_IS_VISIBLE") && !level_properties.Item("LEVEL_IS_VISIBLE").value.ToBool()) continue;
    levels.push_back(LevelJson(*level));
  }
  nlohmann::json answer = {{"name", hierarchy.Name()},
                           {"uniqueName", hierarchy.UniqueName()},
                           {"caption", hierarchy.Caption()},
                           {"defaultMember", TextProperty(properties, "DEFAULT_MEMBER")},
                           {"hasAll", properties.Has("ALL_MEMBER")}};
  if (properties.Has("ALL_MEMBER")) answer["allMember"] = TextProperty(properties, "ALL_MEMBER");
  answer["levels"] = std::move(levels);
  return answer;
}

nlohmann::json MeasuresJson(const provider::Dimension& measures) {
  nlohmann::json answer = nlohmann::json::array();
  auto hierarchies = measures.GetHierarchies();
  if (hierarchies->Count() == 0) return answer;
  auto levels = hierarchies->Item(0)->GetLevels();
  if (levels->Count() == 0) return answer;
  auto members = levels->Item(0)->GetMembers();
  for (int index = 0; index < members->Count(); ++index) {
    auto measure = members->Item(index);
    answer.push_back({{"name", measure->Name()},
                      {"uniqueName", measure->UniqueName()},
                      {"caption", measure->Caption()},
                      {"formatString", TextProperty(measure->GetProperties(), "FORMAT_STRING")}});
  }
  return answer;
}

nlohmann::json CubeJson(const provider::CubeDef& cube) {
  nlohmann::json dimensions = nlohmann::json::array();
  nlohmann::json measures = nlohmann::json::array();
  auto listed = cube.GetDimensions();
  for (int index = 0; index < listed->Count(); ++index) {
    auto dimension = listed->Item(index);
    if (EqualsIgnoreCase(dimension->UniqueName(), "[Measures]")) {
      measures = MeasuresJson(*dimension);
      continue;
    }
    nlohmann::json hierarchies = nlohmann::json::array();
    auto dimension_hierarchies = dimension->GetHierarchies();
    for (int position = 0; position < dimension_hierarchies->Count(); ++position) {
      hierarchies.push_back(HierarchyJson(*dimension_hierarchies->Item(position)));
    }
    dimensions.push_back({{"name", dimension->Name()},
                          {"uniqueName", dimension->UniqueName()},
                          {"hierarchies", std::move(hierarchies)}});
  }
  nlohmann::json sets = nlohmann::json::array();
  for (const provider::NamedSet& set : cube.GetNamedSets()) {
    sets.push_back({{"name", set.name},
                    {"uniqueName", set.unique_name},
                    {"caption", set.caption},
                    {"expression", set.expression}});
  }
  return {{"name", cube.Name()},
          {"description", cube.Description()},
          {"dimensions", std::move(dimensions)},
          {"measures", std::move(measures)},
          {"namedSets", std::move(sets)}};
}

}  // namespace

void CubesCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  std::string catalog = RequiredParam(request, "catalog");
  std::string only = OptionalParam(request, "cube");
  auto connection = context.Connect(OptionalParam(request, "dataSource"), catalog);
  auto cubes = connection->GetSession().GetCubeDefs(catalog);
  nlohmann::json answer = nlohmann::json::array();
  for (int index = 0; index < cubes->Count(); ++index) {
    auto cube = cubes->Item(index);
    if (only.empty() || EqualsIgnoreCase(cube->Name(), only)) answer.push_back(CubeJson(*cube));
  }
  // A page that lists a cube's hierarchies is about to search them: the first
  // search of a big level then finds its index built, or being built.
  for (const auto& listed : answer) {
    connection->GetSession().PrepareMemberSearch(catalog, listed["name"].get<std::string>());
  }
  if (!only.empty() && answer.empty()) throw ApiError(404, "the catalog '" + catalog + "' has no cube '" + only + "'");
  response.body = JsonText({{"cubes", std::move(answer)}});
}

}  // namespace orvex::api
