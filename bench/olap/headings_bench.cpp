// How the headings of a view grow with the positions of its axis: resolving a
// set, building every level's result positions and merging neighbours with
// IsSameHeading (as the renderer does), writing the heading form, and
// expanding a whole level. Each figure should grow linearly with the positions.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/catalog/data_sources.h"
#include "engine/provider/embedded_provider.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/catalog.h"
#include "olap/catalogs.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/cubes.h"
#include "olap/data_source.h"
#include "olap/globals.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "tiny_catalog.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// One dimension of `items` members in groups of ten, and one fact per member.
std::filesystem::path WriteItemsCatalog(const std::filesystem::path& root, int items) {
  const std::string schema = R"(<Schema name="Items"><Cube name="Sales"><Table name="facts"/>
  <Dimension name="Item" foreignKey="id"><Hierarchy hasAll="true" primaryKey="id"><Table name="items"/>
  <Level name="Group" column="grp" uniqueMembers="true"/><Level name="Name" column="name" uniqueMembers="true"/>
  </Hierarchy></Dimension><Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
  const std::string count = std::to_string(items);
  return testing::WriteCatalog(root, "Items", schema,
                               "CREATE TABLE items AS SELECT i AS id, 'G' || (i // 10) AS grp, 'N' || i AS name "
                               "FROM range(" + count + ") t(i);"
                               "CREATE TABLE facts AS SELECT i AS id, i AS amount FROM range(" + count + ") t(i);");
}

}  // namespace

int main() {
  auto data_sources = std::make_shared<engine::DataSources>();
  engine::RegisterEmbeddedProvider(data_sources);
  std::filesystem::path root = std::filesystem::temp_directory_path() / "orvex-olap-headings-bench";
  std::printf("%8s %10s %12s %10s %14s %16s\n", "items", "resolve", "headings", "ToXML(1)", "expand level",
              "headings/item");
  for (int items : {1000, 2000, 4000, 8000, 16000}) {
    std::filesystem::path catalogs = root / std::to_string(items);
    std::filesystem::remove_all(catalogs);
    std::filesystem::create_directories(catalogs);
    WriteItemsCatalog(catalogs, items);
    std::string name = "items" + std::to_string(items);
    data_sources->Add(name, catalogs);

    olap::DataSource data_source;
    data_source.SetActiveConnection(
        std::string_view(olap::Globals::Instance().BuildConnectionString(name, Variant())));
    auto view = data_source.Catalogs()->Item(Variant(0))->Cubes()->Item(Variant(0))->CreateView();

    auto start = Clock::now();
    view->Axes()->Add("<axis><set><mdx>[Item].[Name].Members</mdx></set></axis>");
    auto resolved = Clock::now();
    auto axis = view->Axes()->Item(0);
    int merged = 0;
    for (const auto& level : axis->Hierarchies()->Item(Variant(0))->Levels()->NewEnum()) {
      auto positions = level->Positions();
      for (int position = 1; position < positions->Count(); ++position) {
        merged += level->IsSameHeading(position - 1, position) ? 1 : 0;
      }
      for (int position = 0; position < positions->Count(); ++position) (void)positions->Item(position)->Caption();
    }
    auto headed = Clock::now();
    (void)view->ToXML(1);
    auto written = Clock::now();
    axis->ExpandHeading(Variant(0), std::nullopt, Variant(1));
    auto expanded = Clock::now();
    std::printf("%8d %8.1fms %10.1fms %8.1fms %12.1fms %14.2fus\n", items, Milliseconds(start, resolved),
                Milliseconds(resolved, headed), Milliseconds(headed, written), Milliseconds(written, expanded),
                1000 * Milliseconds(resolved, headed) / items);
    if (merged == 0) std::printf("(no heading merged)\n");
  }
  std::filesystem::remove_all(root);
  return 0;
}
