#include "api/api_calls.h"

#include <algorithm>
#include <charconv>

#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex::api {
namespace {

constexpr int kDefaultLimit = 100;
constexpr int kMaxLimit = 10000;

int IntParam(const ApiRequest& request, const std::string& name, int fallback, int low, int high) {
  std::string text = OptionalParam(request, name);
  if (text.empty()) return fallback;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw ApiError(400, "'" + name + "' must be a whole number from " + std::to_string(low) + " to " +
                            std::to_string(high) + ", not '" + text + "'");
  }
  return value;
}

nlohmann::json MemberJson(const provider::Member& member) {
  const provider::Properties& properties = member.GetProperties();
  std::string level = properties.Has("LEVEL_UNIQUE_NAME") ? properties.Item("LEVEL_UNIQUE_NAME").value.ToString() : "";
  return {{"uniqueName", member.UniqueName()},
          {"caption", member.Caption()},
          {"levelName", member.LevelName()},
          {"levelUniqueName", level},
          {"levelDepth", member.LevelDepth()},
          {"childCount", member.ChildCount()}};
}

std::shared_ptr<provider::CubeDef> FindCube(provider::Session& session, const std::string& catalog,
                                            const std::string& name) {
  auto cubes = session.GetCubeDefs(catalog);
  for (int index = 0; index < cubes->Count(); ++index) {
    auto cube = cubes->Item(index);
    if (EqualsIgnoreCase(cube->Name(), name)) return cube;
  }
  throw ApiError(404, "the catalog '" + catalog + "' has no cube '" + name + "'");
}

// Every hierarchy of the cube, the measures' included.
std::vector<std::shared_ptr<provider::Hierarchy>> Hierarchies(const provider::CubeDef& cube) {
  std::vector<std::shared_ptr<provider::Hierarchy>> all;
  auto dimensions = cube.GetDimensions();
  for (int index = 0; index < dimensions->Count(); ++index) {
    auto hierarchies = dimensions->Item(index)->GetHierarchies();
    for (int position = 0; position < hierarchies->Count(); ++position) all.push_back(hierarchies->Item(position));
  }
  return all;
}

// The hierarchy named, else the one whose unique name is the longest that
// begins `member_name` (a member's unique name begins with its hierarchy's).
std::shared_ptr<provider::Hierarchy> FindHierarchy(const provider::CubeDef& cube, const std::string& name,
                                                   const std::string& member_name) {
  std::shared_ptr<provider::Hierarchy> best;
  for (auto& hierarchy : Hierarchies(cube)) {
    std::string unique_name = hierarchy->UniqueName();
    if (!name.empty()) {
      if (EqualsIgnoreCase(unique_name, name)) return hierarchy;
      continue;
    }
    bool begins = member_name.size() > unique_name.size() && member_name[unique_name.size()] == '.' &&
                  EqualsIgnoreCase(std::string_view(member_name).substr(0, unique_name.size()), unique_name);
    if (begins && (!best || unique_name.size() > best->UniqueName().size())) best = hierarchy;
  }
  if (!best) throw ApiError(404, "the cube has no hierarchy '" + (name.empty() ? member_name : name) + "'");
  return best;
}

std::shared_ptr<provider::Level> FindLevel(const provider::CubeDef& cube, const std::string& hierarchy,
                                           const std::string& name) {
  for (auto& candidate : Hierarchies(cube)) {
    if (!hierarchy.empty() && !EqualsIgnoreCase(candidate->UniqueName(), hierarchy)) continue;
    auto levels = candidate->GetLevels();
    for (int index = 0; index < levels->Count(); ++index) {
      if (EqualsIgnoreCase(levels->Item(index)->UniqueName(), name)) return levels->Item(index);
    }
  }
  throw ApiError(404, "the cube has no level '" + name + "'");
}

// A member the connection's role sees, looked up level by level; 404 when none has it.
std::shared_ptr<provider::Member> FindMember(const provider::Hierarchy& hierarchy, const std::string& unique_name) {
  auto levels = hierarchy.GetLevels();
  for (int index = 0; index < levels->Count(); ++index) {
    try {
      auto member = levels->Item(index)->GetMembers()->Item(unique_name);
      if (EqualsIgnoreCase(member->UniqueName(), unique_name)) return member;
    } catch (const ComError& error) {
      if (error.number() != errors::kItemNotFound) throw;
    }
  }
  throw ApiError(404, "the hierarchy '" + hierarchy.UniqueName() + "' has no member '" + unique_name + "'");
}

nlohmann::json Page(const provider::Members& members, int offset, int limit) {
  nlohmann::json listed = nlohmann::json::array();
  int end = static_cast<int>(std::min<int64_t>(members.Count(), static_cast<int64_t>(offset) + limit));
  for (int index = offset; index < end; ++index) listed.push_back(MemberJson(*members.Item(index)));
  return {{"members", std::move(listed)}, {"total", members.Count()}, {"offset", offset}};
}

}  // namespace

void MembersCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  std::string catalog = RequiredParam(request, "catalog");
  std::string cube_name = RequiredParam(request, "cube");
  std::string hierarchy = OptionalParam(request, "hierarchy");
  std::string level = OptionalParam(request, "level");
  std::string parent = OptionalParam(request, "parent");
  int offset = IntParam(request, "offset", 0, 0, INT32_MAX);
  int limit = IntParam(request, "limit", kDefaultLimit, 1, kMaxLimit);
  auto connection = context.Connect(OptionalParam(request, "dataSource"), catalog);
  provider::Session& session = connection->GetSession();

  if (request.params.count("search")) {
    provider::MemberSearch search{cube_name, hierarchy, level, request.params.at("search"), offset, limit, parent};
    provider::MemberSearchPage page = session.SearchMembers(catalog, search);
    nlohmann::json listed = nlohmann::json::array();
    for (const auto& member : page.members) listed.push_back(MemberJson(*member));
    response.body = JsonText({{"members", std::move(listed)}, {"total", page.total}, {"offset", offset}});
    return;
  }
  auto cube = FindCube(session, catalog, cube_name);
  if (!parent.empty()) {
    auto member = FindMember(*FindHierarchy(*cube, hierarchy, parent), parent);
    response.body = JsonText(Page(*member->Children(), offset, limit));
  } else if (!level.empty()) {
    response.body = JsonText(Page(*FindLevel(*cube, hierarchy, level)->GetMembers(), offset, limit));
  } else if (!hierarchy.empty()) {
    auto levels = FindHierarchy(*cube, hierarchy, "")->GetLevels();
    if (levels->Count() == 0) throw ApiError(404, "the hierarchy '" + hierarchy + "' has no levels");
    response.body = JsonText(Page(*levels->Item(0)->GetMembers(), offset, limit));
  } else {
    throw ApiError(400, "the call needs 'hierarchy', 'level', 'parent' or 'search'");
  }
}

}  // namespace orvex::api
