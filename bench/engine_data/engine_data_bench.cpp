// engine_data_bench: times the engine's data layer on a catalog of the
// sample's shape, next to hand-written SQL for the same numbers: opening the
// catalog, reading each hierarchy's members, and grouped cell reads cold
// (empty cache), warm (cached) and added up from a finer cached answer.
//   engine_data_bench [--catalogs DIR] [--catalog NAME] [--runs N]
// Prints one line per measurement with the median in milliseconds.
#include <algorithm>
#include <chrono>
#include <functional>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "engine/cells/sql_cell_reader.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/model/cube.h"
#include "engine/model/level.h"
#include "engine/store/duckdb/duckdb_store.h"
#include "platform/com/com_error.h"
#include "tools/common/command_line.h"

namespace {

using namespace orvex::engine;
using Clock = std::chrono::steady_clock;

double Median(int runs, const std::function<void()>& prepare, const std::function<void()>& measured) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    prepare();
    auto start = Clock::now();
    measured();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void Print(const std::string& what, double milliseconds) {
  std::cout << std::left << std::setw(64) << what << std::right << std::setw(10) << std::fixed
            << std::setprecision(2) << milliseconds << "\n";
}

// Every member of `rows` by every member of `columns`, the other hierarchies at their all member.
std::vector<Coordinate> Cross(const Cube& cube, const std::vector<const Member*>& rows,
                              const std::vector<const Member*>& columns) {
  std::vector<Coordinate> coordinates;
  for (const Member* row : rows) {
    for (const Member* column : columns) {
      Coordinate coordinate(cube.hierarchies().size(), nullptr);
      coordinate[static_cast<size_t>(row->level->hierarchy().index())] = row;
      coordinate[static_cast<size_t>(column->level->hierarchy().index())] = column;
      coordinates.push_back(std::move(coordinate));
    }
  }
  return coordinates;
}

void Read(const Cube& cube, const Measure* measure, const std::vector<Coordinate>& coordinates) {
  std::vector<CellRequest> requests;
  for (const auto& coordinate : coordinates) requests.push_back({measure, &coordinate});
  std::vector<CellValue> values(requests.size());
  cube.cells().Fetch(requests, values);
}

}  // namespace

int main(int argc, char** argv) {
  orvex::tools::CommandLine command_line({"--catalogs", "--catalog", "--runs"}, {"--help"});
  std::string error = command_line.Parse(argc, argv);
  if (!error.empty() || command_line.Has("--help")) {
    std::cerr << error << "\nUsage: engine_data_bench [--catalogs DIR] [--catalog NAME] [--runs N]\n";
    return error.empty() ? 0 : 2;
  }
  std::filesystem::path folder =
      std::filesystem::path(command_line.Has("--catalogs") ? command_line.Value("--catalogs") : "data/catalogs") /
      (command_line.Has("--catalog") ? command_line.Value("--catalog") : "Sample");
  int runs = command_line.Has("--runs") ? std::max(1, std::stoi(command_line.Value("--runs"))) : 5;
  try {
    std::shared_ptr<const Catalog> catalog;
    Print("open the catalog (schema, store)", Median(1, [] {}, [&] { catalog = CatalogLoader::Load(folder); }));
    const Cube& cube = catalog->FindCube("Sales");
    for (const Hierarchy* hierarchy : cube.hierarchies()) {
      size_t count = 0;
      Print("members of " + hierarchy->unique_name(),
            Median(1, [] {}, [&] { count = hierarchy->AllMembers().size(); }));
      std::cout << "  (" << count << " members)\n";
    }
    auto& reader = dynamic_cast<SqlCellReader&>(cube.cells());
    const Measure* unit_sales = cube.measures().front();
    const Hierarchy& time = *cube.FindHierarchy("[Time]");
    const Hierarchy& product = *cube.FindHierarchy("[Product]");
    const Member* year = time.LevelMembers(0).front();
    auto departments = Cross(cube, product.LevelMembers(2), year->children());
    auto families = Cross(cube, product.LevelMembers(1), year->children());
    auto clear = [&] { reader.ClearCache(); };

    Print("departments x quarters of " + year->name + ", cold", Median(runs, clear, [&] { Read(cube, unit_sales, departments); }));
    Print("departments x quarters of " + year->name + ", warm", Median(runs, [] {}, [&] { Read(cube, unit_sales, departments); }));
    Print("families x quarters, added up from departments x quarters",
          Median(runs, [&] { clear(); Read(cube, unit_sales, departments); }, [&] { Read(cube, unit_sales, families); }));
    Print("families x quarters, cold", Median(runs, clear, [&] { Read(cube, unit_sales, families); }));

    auto store = DuckDbStore::Open(folder / "data.duckdb");
    Print("hand-written SQL: departments x quarters of " + year->name,
          Median(runs, [] {}, [&] {
            (void)store->Query(
                "SELECT c.product_family, c.product_department, t.quarter, SUM(f.unit_sales) FROM sales_fact f "
                "JOIN time_by_day t ON f.time_id = t.time_id JOIN product p ON f.product_id = p.product_id "
                "JOIN product_class c ON p.product_class_id = c.product_class_id WHERE t.the_year = " + year->name +
                " GROUP BY ALL");
          }));
    const Hierarchy& customers = *cube.FindHierarchy("[Customers]");
    const Hierarchy& gender = *cube.FindHierarchy("[Gender]");
    auto names = Cross(cube, customers.LevelMembers(4), gender.LevelMembers(1));
    Print("customer names x gender (" + std::to_string(names.size()) + " cells), cold",
          Median(runs, clear, [&] { Read(cube, unit_sales, names); }));
    std::cout << "queries sent: " << reader.query_count() << "\n";
  } catch (const orvex::ComError& failure) {
    std::cerr << "engine_data_bench: " << failure.description() << "\n";
    return 1;
  }
  return 0;
}
