#include "engine/provider/engine_session.h"

#include "engine/catalog/role_catalog.h"
#include "engine/eval/drillthrough_executor.h"
#include "engine/eval/query_executor.h"
#include "engine/common/engine_error.h"
#include "engine/provider/engine_cellset_data.h"
#include "engine/provider/engine_cube_def.h"
#include "engine/provider/engine_member.h"
#include "engine/provider/lazy_collection.h"
#include "engine/provider/member_search_index.h"
#include "platform/text.h"

#include <algorithm>
#include <climits>

namespace orvex::engine {

namespace {

// The member `unique_name` in one of `hierarchies`, nullptr when none holds
// it. Only a hierarchy whose unique name begins the member's is read.
const Member* FindParent(const std::vector<const Hierarchy*>& hierarchies, std::string_view unique_name) {
  for (const Hierarchy* hierarchy : hierarchies) {
    const std::string& own = hierarchy->unique_name();
    if (unique_name.size() <= own.size() || unique_name[own.size()] != '.' ||
        !EqualsIgnoreCase(unique_name.substr(0, own.size()), own)) {
      continue;
    }
    if (const Member* member = hierarchy->FindMember(unique_name)) return member;
  }
  return nullptr;
}

// True when `member` has its place in its hierarchy's tree (a calculated
// member has none, and no descendants).
bool InTree(const Member& member) {
  const auto& all = member.level->hierarchy().AllMembers();
  return member.order >= 0 && static_cast<size_t>(member.order) < all.size() &&
         all[static_cast<size_t>(member.order)] == &member;
}

Variant RowValue(const KeyValue& value) {
  if (const auto* integer = std::get_if<int64_t>(&value)) {
    if (*integer >= INT32_MIN && *integer <= INT32_MAX) return Variant(static_cast<int32_t>(*integer));
    constexpr int64_t kExactInDouble = int64_t{1} << 53;
    if (*integer >= -kExactInDouble && *integer <= kExactInDouble) return Variant(static_cast<double>(*integer));
    return Variant(std::to_string(*integer));
  }
  if (const auto* number = std::get_if<double>(&value)) return Variant(*number);
  if (const auto* text = std::get_if<std::string>(&value)) return Variant(*text);
  if (const auto* exact = std::get_if<Decimal>(&value)) return Variant(exact->ToDouble());
  return Variant::Null();
}

// The hierarchies a search without a hierarchy reads: what the role hides is
// neither searched nor named in a message as something that exists.
std::vector<const Hierarchy*> SearchedHierarchies(const Cube& cube) {
  std::vector<const Hierarchy*> hierarchies;
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    if (hierarchy->visible() && hierarchy->accessible()) hierarchies.push_back(hierarchy);
  }
  return hierarchies;
}

const Cube* FindCube(const Catalog& catalog, std::string_view name) {
  const Cube* cube = nullptr;
  for (const auto& candidate : catalog.cubes()) {
    if (EqualsIgnoreCase(candidate->name(), name)) cube = candidate.get();
  }
  return cube;
}

}  // namespace

EngineSession::EngineSession(std::shared_ptr<DataSources> data_sources, std::string data_source,
                             EngineOptions options, std::string role)
    : data_sources_(std::move(data_sources)), data_source_(std::move(data_source)), options_(options),
      role_(std::move(role)) {
  if (!data_sources_->Knows(data_source_)) {
    throw EngineError("The data source '" + data_source_ + "' is not known to this server.");
  }
}

std::shared_ptr<const Catalog> EngineSession::OpenCatalog(const std::string& catalog) const {
  return RoleCatalog::For(data_sources_->OpenCatalog(data_source_, catalog), role_);
}

std::vector<std::string> EngineSession::CatalogNames() { return data_sources_->CatalogNames(data_source_); }

std::shared_ptr<provider::CubeDefs> EngineSession::GetCubeDefs(const std::string& catalog) {
  std::shared_ptr<const Catalog> loaded = OpenCatalog(catalog);
  // A view is built on the catalog's cubes before it reads any cell: a
  // database server that is down is reported here, with its reason, rather
  // than half-way through writing a table.
  loaded->CheckStore();
  std::shared_ptr<const void> owner = loaded;
  const Catalog* cubes = loaded.get();
  return std::make_shared<LazyCollection<provider::CubeDef>>(
      static_cast<int>(cubes->cubes().size()),
      [owner, cubes](int index) {
        return std::make_shared<EngineCubeDef>(owner, *cubes->cubes()[static_cast<size_t>(index)]);
      },
      [owner, cubes](std::string_view name) -> std::shared_ptr<provider::CubeDef> {
        for (const auto& cube : cubes->cubes()) {
          if (EqualsIgnoreCase(cube->name(), name)) return std::make_shared<EngineCubeDef>(owner, *cube);
        }
        return nullptr;
      });
}

std::shared_ptr<provider::CellsetData> EngineSession::Execute(const std::string& catalog, std::string_view mdx) {
  if (catalog.empty()) throw EngineError("No catalog is selected; the data source '" + data_source_ + "' has none.");
  QueryExecutor executor(OpenCatalog(catalog), options_);
  return std::make_shared<EngineCellsetData>(executor.Execute(mdx));
}

provider::MemberSearchPage EngineSession::SearchMembers(const std::string& catalog,
                                                       const provider::MemberSearch& search) {
  std::shared_ptr<const Catalog> loaded = OpenCatalog(catalog);
  const Cube* cube = FindCube(*loaded, search.cube);
  if (!cube) throw EngineError("The cube '" + search.cube + "' is not in the catalog '" + catalog + "'.");

  std::vector<const Hierarchy*> hierarchies;
  if (search.hierarchy.empty()) {
    hierarchies = SearchedHierarchies(*cube);
  } else if (EqualsIgnoreCase(cube->measures_hierarchy().unique_name(), search.hierarchy)) {
    hierarchies.push_back(&cube->measures_hierarchy());
  } else {
    const Hierarchy* hierarchy = cube->FindHierarchy(search.hierarchy);
    if (!hierarchy || !hierarchy->accessible()) {
      throw EngineError("The hierarchy '" + search.hierarchy + "' is not in the cube '" + cube->name() + "'.");
    }
    hierarchies.push_back(hierarchy);
  }
  const Level* level = nullptr;
  if (!search.level.empty()) {
    for (const Hierarchy* hierarchy : hierarchies) {
      for (const auto& candidate : hierarchy->levels()) {
        if (EqualsIgnoreCase(candidate->unique_name(), search.level)) level = candidate.get();
      }
    }
    if (!level) throw EngineError("The level '" + search.level + "' is not in the cube '" + cube->name() + "'.");
    hierarchies = {&level->hierarchy()};
  }

  // Under a parent, its hierarchy alone, and there only the run of the index its descendants fill.
  const Member* parent = nullptr;
  if (!search.parent.empty()) {
    parent = FindParent(hierarchies, search.parent);
    if (!parent) {
      throw ComError(errors::kItemNotFound, kEngineErrorSource,
                     "The member '" + search.parent + "' is not in the cube '" + cube->name() + "'.");
    }
    hierarchies = {&parent->level->hierarchy()};
  }

  std::string text = provider::FoldForSearch(search.text);
  std::vector<MemberSearchIndex::Hit> hits;
  std::vector<std::shared_ptr<const MemberSearchIndex>> indexes;  // keep the hits' captions alive
  if (!text.empty() && (!parent || InTree(*parent))) {
    for (const Hierarchy* hierarchy : hierarchies) {
      indexes.push_back(MemberSearchIndex::For(loaded, *hierarchy));
      indexes.back()->Collect(text, level, parent, hits);
    }
  }
  // Kind, depth and folded caption sit in the hit; the member is read only on a tie.
  auto before = [](const MemberSearchIndex::Hit& a, const MemberSearchIndex::Hit& b) {
    if (a.kind != b.kind || a.depth != b.depth || a.folded_caption != b.folded_caption) {
      return provider::RanksBefore({a.kind, a.depth, a.folded_caption, {}, {}}, {b.kind, b.depth, b.folded_caption, {}, {}});
    }
    return provider::RanksBefore({a.kind, a.depth, a.folded_caption, a.member->caption, a.member->unique_name},
                                 {b.kind, b.depth, b.folded_caption, b.member->caption, b.member->unique_name});
  };
  provider::MemberSearchPage page;
  page.total = static_cast<int>(hits.size());
  size_t first = static_cast<size_t>(std::clamp(search.offset, 0, page.total));
  size_t last = std::min(hits.size(), first + static_cast<size_t>(std::max(search.limit, 0)));
  // Only the page is sorted in full: a short text can match most of a big level.
  std::partial_sort(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(last), hits.end(),
                    before);
  std::shared_ptr<const void> owner = loaded;
  for (size_t index = first; index < last; ++index) page.members.push_back(EngineMember::Wrap(owner, hits[index].member));
  return page;
}

void EngineSession::PrepareMemberSearch(const std::string& catalog, const std::string& cube) {
  std::shared_ptr<const Catalog> loaded = OpenCatalog(catalog);
  if (const Cube* found = FindCube(*loaded, cube)) {
    MemberSearchIndex::BuildInBackground(loaded, SearchedHierarchies(*found));
  }
}

provider::TabularData EngineSession::Drillthrough(const std::string& catalog, std::string_view mdx) {
  if (catalog.empty()) throw EngineError("No catalog is selected; the data source '" + data_source_ + "' has none.");
  FactRows fact_rows = DrillthroughExecutor(OpenCatalog(catalog), options_).Execute(mdx);
  provider::TabularData data;
  data.columns = std::move(fact_rows.columns);
  data.rows.reserve(fact_rows.rows.row_count());
  for (size_t row = 0; row < fact_rows.rows.row_count(); ++row) {
    std::vector<Variant>& values = data.rows.emplace_back();
    values.reserve(data.columns.size());
    for (size_t column = 0; column < data.columns.size(); ++column) values.push_back(RowValue(fact_rows.rows.at(row, column)));
  }
  return data;
}

}  // namespace orvex::engine
