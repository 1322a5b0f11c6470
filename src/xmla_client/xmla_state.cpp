#include "xmla_client/xmla_state.h"

#include <algorithm>

#include "platform/com/com_error.h"
#include "platform/runtime/runtime.h"
#include "platform/text.h"

namespace orvex::xmla_client {
namespace {

// MDSCHEMA_MEMBERS' TREE_OP: the member itself and every ancestor; its children.
constexpr const char* kTreeSelfAndAncestors = "40";
constexpr const char* kTreeChildren = "1";

ComError ClientError(std::string description) {
  return ComError(kXmlaClientErrorNumber, kXmlaClientErrorSource, std::move(description));
}

std::string Scope(const std::string& catalog, const std::string& cube) { return catalog + '\x1f' + cube; }
std::string Key(const std::string& scope, const std::string& name) { return scope + '\x1f' + ToLower(name); }

// The last part of a unique name, its brackets taken off: "[Time].[1997].[Q1]" gives "Q1".
std::string LastPart(const std::string& unique_name, std::string* before = nullptr) {
  size_t start = unique_name.size();
  if (!unique_name.empty() && unique_name.back() == ']') {
    // Walk back to the opening bracket; "]]" inside a name is an escaped bracket.
    size_t at = unique_name.size() - 1;
    while (at > 0) {
      --at;
      if (unique_name[at] == ']' && at > 0 && unique_name[at - 1] == ']') {
        --at;
      } else if (unique_name[at] == '[') {
        break;
      }
    }
    start = at;
    if (before) *before = start > 0 && unique_name[start - 1] == '.' ? unique_name.substr(0, start - 1) : "";
    return ReplaceAll(unique_name.substr(start + 1, unique_name.size() - start - 2), "]]", "]");
  }
  size_t dot = unique_name.rfind('.');
  if (before) *before = dot == std::string::npos ? "" : unique_name.substr(0, dot);
  return dot == std::string::npos ? unique_name : unique_name.substr(dot + 1);
}

// A member the server does not list: name and parent read from its unique name.
std::shared_ptr<const MemberInfo> Derived(const MemberInfo& member) {
  auto derived = std::make_shared<MemberInfo>(member);
  std::string parent;
  derived->name = LastPart(member.unique_name, &parent);
  derived->parent_unique_name = member.level_number > 0 ? parent : "";
  derived->complete = true;
  return derived;
}

}  // namespace

std::string XmlaSource::DataSourceInfo(SoapClient& client) {
  std::lock_guard lock(mutex_);
  if (!data_source_info_) {
    auto rows = client.Discover("DISCOVER_DATASOURCES", {}, {{"Content", "Data"}});
    data_source_info_ = rows.empty() ? std::string() : rows.front().Get("DataSourceInfo");
  }
  return *data_source_info_;
}

SharedMetadata XmlaSource::Snapshot() {
  std::lock_guard lock(mutex_);
  auto lifetime = std::chrono::seconds(definition_.metadata_seconds);
  if (std::chrono::steady_clock::now() - shared_since_ >= lifetime) shared_ = SharedMetadata();
  return shared_;
}

void XmlaSource::Publish(const SharedMetadata& metadata) {
  if (definition_.metadata_seconds == 0) return;
  std::lock_guard lock(mutex_);
  auto now = std::chrono::steady_clock::now();
  // What is fresh is added to; what is stale starts over, its age from now.
  if (now - shared_since_ >= std::chrono::seconds(definition_.metadata_seconds)) {
    shared_ = SharedMetadata();
    shared_since_ = now;
  }
  if (!shared_.catalogs) shared_.catalogs = metadata.catalogs;
  shared_.cubes.insert(metadata.cubes.begin(), metadata.cubes.end());
  shared_.dimensions.insert(metadata.dimensions.begin(), metadata.dimensions.end());
}

XmlaState::XmlaState(std::shared_ptr<XmlaSource> source, int connect_timeout_seconds)
    : source_(std::move(source)),
      client_(source_->name(), source_->definition(), connect_timeout_seconds),
      metadata_(source_->Snapshot()) {}

std::vector<RowsetRow> XmlaState::Discover(const std::string& request_type, const std::string& catalog,
                                           const RestrictionList& restrictions) {
  PropertyList properties;
  if (std::string info = source_->DataSourceInfo(client_); !info.empty()) properties.emplace_back("DataSourceInfo", info);
  if (!catalog.empty()) properties.emplace_back("Catalog", catalog);
  properties.emplace_back("Content", "Data");
  return client_.Discover(request_type, restrictions, properties);
}

std::vector<std::string> XmlaState::CatalogNamesLocked() {
  if (!metadata_.catalogs) {
    std::vector<std::string> names;
    const std::string& configured = source_->definition().catalog;
    for (const auto& row : Discover("DBSCHEMA_CATALOGS", "", {})) {
      const std::string& name = row.Get("CATALOG_NAME");
      if (configured.empty() || EqualsIgnoreCase(name, configured)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    metadata_.catalogs = std::move(names);
  }
  return *metadata_.catalogs;
}

std::vector<std::string> XmlaState::CatalogNames() {
  std::lock_guard lock(mutex_);
  return CatalogNamesLocked();
}

void XmlaState::CheckCatalog(const std::string& catalog) {
  for (const auto& name : CatalogNamesLocked()) {
    if (name == catalog) return;
  }
  throw ClientError("The catalog '" + catalog + "' is not on the XMLA server of the data source '" + SourceName() +
                    "'.");
}

std::vector<CubeInfo> XmlaState::Cubes(const std::string& catalog) {
  std::lock_guard lock(mutex_);
  auto found = metadata_.cubes.find(catalog);
  if (found != metadata_.cubes.end()) return found->second;
  CheckCatalog(catalog);
  std::vector<CubeInfo> cubes;
  for (const auto& row : Discover("MDSCHEMA_CUBES", catalog, {{"CATALOG_NAME", {catalog}}})) {
    cubes.push_back({row.Get("CUBE_NAME"), row.Get("DESCRIPTION")});
  }
  return metadata_.cubes[catalog] = std::move(cubes);
}

std::shared_ptr<const std::vector<DimensionInfo>> XmlaState::Dimensions(const std::string& catalog,
                                                                        const std::string& cube) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  if (auto found = metadata_.dimensions.find(scope); found != metadata_.dimensions.end()) return found->second;
  RestrictionList restrictions = {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}}};
  std::vector<std::pair<int, DimensionInfo>> ordered;
  for (const auto& row : Discover("MDSCHEMA_DIMENSIONS", catalog, restrictions)) {
    ordered.push_back({row.GetInt("DIMENSION_ORDINAL", static_cast<int>(ordered.size())),
                       {row.Get("DIMENSION_NAME"), row.Get("DIMENSION_UNIQUE_NAME"), row.Get("DESCRIPTION"), {}}});
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  auto dimensions = std::make_shared<std::vector<DimensionInfo>>();
  for (auto& [ordinal, dimension] : ordered) dimensions->push_back(std::move(dimension));

  auto dimension_of = [&](const std::string& unique_name) -> DimensionInfo* {
    for (auto& dimension : *dimensions) {
      if (EqualsIgnoreCase(dimension.unique_name, unique_name)) return &dimension;
    }
    return nullptr;
  };
  for (const auto& row : Discover("MDSCHEMA_HIERARCHIES", catalog, restrictions)) {
    DimensionInfo* dimension = dimension_of(row.Get("DIMENSION_UNIQUE_NAME"));
    if (!dimension) continue;
    HierarchyInfo hierarchy{row.Get("HIERARCHY_NAME"), row.Get("HIERARCHY_UNIQUE_NAME"), row.Get("HIERARCHY_CAPTION"),
                            row.Get("DESCRIPTION"),    row.Get("DEFAULT_MEMBER"),        row.Get("ALL_MEMBER"),
                            {}};
    // The rowset names a dimension's only, unnamed hierarchy after the
    // dimension; the provider API calls it "".
    if (EqualsIgnoreCase(hierarchy.unique_name, dimension->unique_name) && hierarchy.name == dimension->name) {
      hierarchy.name.clear();
    }
    dimension->hierarchies.push_back(std::move(hierarchy));
  }
  for (const auto& row : Discover("MDSCHEMA_LEVELS", catalog, restrictions)) {
    const std::string& hierarchy_name = row.Get("HIERARCHY_UNIQUE_NAME");
    for (auto& dimension : *dimensions) {
      for (auto& hierarchy : dimension.hierarchies) {
        if (!EqualsIgnoreCase(hierarchy.unique_name, hierarchy_name)) continue;
        hierarchy.levels.push_back({row.Get("LEVEL_NAME"), row.Get("LEVEL_UNIQUE_NAME"), row.Get("LEVEL_CAPTION"),
                                    row.Get("DESCRIPTION"), row.GetInt("LEVEL_NUMBER")});
      }
    }
  }
  for (auto& dimension : *dimensions) {
    for (auto& hierarchy : dimension.hierarchies) {
      std::stable_sort(hierarchy.levels.begin(), hierarchy.levels.end(),
                       [](const LevelInfo& a, const LevelInfo& b) { return a.number < b.number; });
    }
  }
  return metadata_.dimensions[scope] = std::move(dimensions);
}

std::vector<SetInfo> XmlaState::NamedSets(const std::string& catalog, const std::string& cube) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  if (auto found = sets_.find(scope); found != sets_.end()) return found->second;
  std::vector<SetInfo> sets;
  try {
    for (const auto& row : Discover("MDSCHEMA_SETS", catalog, {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}}})) {
      std::string caption = row.Get("SET_CAPTION");
      sets.push_back({row.Get("SET_NAME"), caption.empty() ? row.Get("SET_NAME") : caption, row.Get("EXPRESSION")});
    }
  } catch (const ComError&) {
    // Not every server lists sets; one that refuses the rowset has none to offer.
    sets.clear();
  }
  return sets_[scope] = std::move(sets);
}

std::shared_ptr<const MemberInfo> XmlaState::Cached(const std::string& scope, const std::string& unique_name) const {
  auto found = members_.find(Key(scope, unique_name));
  return found == members_.end() ? nullptr : found->second;
}

std::shared_ptr<const MemberInfo> XmlaState::Store(const std::string& scope, const RowsetRow& row) {
  auto member = std::make_shared<MemberInfo>();
  member->unique_name = row.Get("MEMBER_UNIQUE_NAME");
  member->name = row.Get("MEMBER_NAME");
  member->caption = row.Get("MEMBER_CAPTION");
  member->description = row.Get("DESCRIPTION");
  member->level_unique_name = row.Get("LEVEL_UNIQUE_NAME");
  member->hierarchy_unique_name = row.Get("HIERARCHY_UNIQUE_NAME");
  member->parent_unique_name = row.Get("PARENT_UNIQUE_NAME");
  member->level_number = row.GetInt("LEVEL_NUMBER");
  member->children = row.GetInt("CHILDREN_CARDINALITY");
  member->complete = true;
  members_[Key(scope, member->unique_name)] = member;
  return member;
}

std::shared_ptr<const MemberList> XmlaState::LevelMembers(const std::string& catalog, const std::string& cube,
                                                          const std::string& hierarchy, const std::string& level) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  std::string key = Key(scope, "level " + level);
  if (auto found = lists_.find(key); found != lists_.end()) return found->second;
  auto list = std::make_shared<MemberList>();
  for (const auto& row : Discover("MDSCHEMA_MEMBERS", catalog,
                                  {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}},
                                   {"HIERARCHY_UNIQUE_NAME", {hierarchy}}, {"LEVEL_UNIQUE_NAME", {level}}})) {
    list->push_back(Store(scope, row));
  }
  return lists_[key] = std::move(list);
}

std::shared_ptr<const MemberList> XmlaState::Children(const std::string& catalog, const std::string& cube,
                                                      const MemberInfo& parent) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  std::string key = Key(scope, "children " + parent.unique_name);
  if (auto found = lists_.find(key); found != lists_.end()) return found->second;
  auto list = std::make_shared<MemberList>();
  if (parent.complete && parent.children == 0) return lists_[key] = std::move(list);
  RestrictionList restrictions = {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}}};
  if (!parent.hierarchy_unique_name.empty()) restrictions.push_back({"HIERARCHY_UNIQUE_NAME", {parent.hierarchy_unique_name}});
  restrictions.push_back({"MEMBER_UNIQUE_NAME", {parent.unique_name}});
  restrictions.push_back({"TREE_OP", {kTreeChildren}});
  for (const auto& row : Discover("MDSCHEMA_MEMBERS", catalog, restrictions)) list->push_back(Store(scope, row));
  return lists_[key] = std::move(list);
}

std::shared_ptr<const MemberInfo> XmlaState::FindMember(const std::string& catalog, const std::string& cube,
                                                        const std::string& hierarchy, const std::string& unique_name) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  if (auto cached = Cached(scope, unique_name)) return cached;
  std::string key = Key(scope, hierarchy + " " + unique_name);
  if (missing_.count(key) != 0) return nullptr;
  RestrictionList restrictions = {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}}};
  if (!hierarchy.empty()) restrictions.push_back({"HIERARCHY_UNIQUE_NAME", {hierarchy}});
  restrictions.push_back({"MEMBER_UNIQUE_NAME", {unique_name}});
  std::shared_ptr<const MemberInfo> found;
  for (const auto& row : Discover("MDSCHEMA_MEMBERS", catalog, restrictions)) {
    auto member = Store(scope, row);
    if (EqualsIgnoreCase(member->unique_name, unique_name)) found = member;
  }
  if (!found) missing_.insert(key);
  return found;
}

std::shared_ptr<const MemberInfo> XmlaState::Remember(const std::string& catalog, const std::string& cube,
                                                      std::shared_ptr<const MemberInfo> member) {
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  if (auto cached = Cached(scope, member->unique_name)) return cached;
  members_[Key(scope, member->unique_name)] = member;
  if (member->level_number > 0) {
    pending_[scope + '\x1f' + member->hierarchy_unique_name].push_back(member->unique_name);
  }
  return member;
}

std::shared_ptr<const MemberInfo> XmlaState::Complete(const std::string& catalog, const std::string& cube,
                                                      const std::shared_ptr<const MemberInfo>& member) {
  if (member->complete) return member;
  std::lock_guard lock(mutex_);
  std::string scope = Scope(catalog, cube);
  if (auto cached = Cached(scope, member->unique_name); cached && cached->complete) return cached;
  // A member at the top has no parent, and its name is the last part of its unique name.
  if (member->level_number == 0) return members_[Key(scope, member->unique_name)] = Derived(*member);
  std::vector<std::string> names = std::move(pending_[scope + '\x1f' + member->hierarchy_unique_name]);
  pending_.erase(scope + '\x1f' + member->hierarchy_unique_name);
  if (std::find(names.begin(), names.end(), member->unique_name) == names.end()) names.push_back(member->unique_name);
  // One request for every member of this hierarchy the results showed so far, with their ancestors.
  RestrictionList restrictions = {{"CATALOG_NAME", {catalog}}, {"CUBE_NAME", {cube}}};
  if (!member->hierarchy_unique_name.empty()) {
    restrictions.push_back({"HIERARCHY_UNIQUE_NAME", {member->hierarchy_unique_name}});
  }
  restrictions.push_back({"MEMBER_UNIQUE_NAME", names});
  restrictions.push_back({"TREE_OP", {kTreeSelfAndAncestors}});
  for (const auto& row : Discover("MDSCHEMA_MEMBERS", catalog, restrictions)) Store(scope, row);
  for (const auto& name : names) {
    auto cached = Cached(scope, name);
    if (cached && !cached->complete) members_[Key(scope, name)] = Derived(*cached);
  }
  auto completed = Cached(scope, member->unique_name);
  return completed && completed->complete ? completed : Derived(*member);
}

SoapReply XmlaState::Execute(const std::string& catalog, const std::string& statement) {
  std::lock_guard lock(mutex_);
  PropertyList properties;
  if (std::string info = source_->DataSourceInfo(client_); !info.empty()) properties.emplace_back("DataSourceInfo", info);
  if (!catalog.empty()) properties.emplace_back("Catalog", catalog);
  properties.emplace_back("Format", "Multidimensional");
  properties.emplace_back("AxisFormat", "TupleFormat");
  properties.emplace_back("Content", "Data");
  // Formatted values in the page's language.
  properties.emplace_back("LocaleIdentifier", std::to_string(runtime::GetThreadLocale()));
  return client_.Execute(statement, properties);
}

SoapReply XmlaState::ExecuteRows(const std::string& catalog, const std::string& statement) {
  std::lock_guard lock(mutex_);
  PropertyList properties;
  if (std::string info = source_->DataSourceInfo(client_); !info.empty()) properties.emplace_back("DataSourceInfo", info);
  if (!catalog.empty()) properties.emplace_back("Catalog", catalog);
  properties.emplace_back("Format", "Tabular");
  properties.emplace_back("Content", "SchemaData");
  return client_.Execute(statement, properties);
}

void XmlaState::End() noexcept {
  std::lock_guard lock(mutex_);
  client_.EndSession();
  try {
    source_->Publish(metadata_);
  } catch (...) {
    // Handing on is an optimisation; the next connection fetches again.
  }
}

int XmlaState::RequestCount() {
  std::lock_guard lock(mutex_);
  return client_.RequestCount();
}

}  // namespace orvex::xmla_client
