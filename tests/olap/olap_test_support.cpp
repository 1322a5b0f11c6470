#include "olap_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <pugixml.hpp>
#include <sstream>

#include "engine/provider/embedded_provider.h"
#include "olap/axes.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/catalog.h"
#include "olap/catalogs.h"
#include "olap/cell.h"
#include "olap/cube.h"
#include "olap/cubes.h"
#include "olap/globals.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "provider/session.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::olap::testing {

namespace {

struct Recorder {
  std::mutex mutex;
  std::vector<std::string> statements;  // guarded by mutex
};

Recorder& GetRecorder() {
  static Recorder recorder;
  return recorder;
}

// Passes everything to the engine's session and keeps each statement.
class RecordingSession : public provider::Session {
 public:
  explicit RecordingSession(std::unique_ptr<provider::Session> inner) : inner_(std::move(inner)) {}
  std::vector<std::string> CatalogNames() override { return inner_->CatalogNames(); }
  std::shared_ptr<provider::CubeDefs> GetCubeDefs(const std::string& catalog) override {
    return inner_->GetCubeDefs(catalog);
  }
  std::shared_ptr<provider::CellsetData> Execute(const std::string& catalog, std::string_view mdx) override {
    {
      std::lock_guard lock(GetRecorder().mutex);
      GetRecorder().statements.emplace_back(mdx);
    }
    return inner_->Execute(catalog, mdx);
  }

 private:
  std::unique_ptr<provider::Session> inner_;
};

// The first `count` positions of `hierarchies`, one line each: the member key
// of each hierarchy's position (from `positions_of`), "?" for none, ", " between.
template <class PositionsOf>
std::string TupleLines(const std::vector<std::shared_ptr<AxisHierarchy>>& hierarchies, int32_t count,
                       PositionsOf positions_of) {
  std::string text;
  for (int32_t position = 0; position < count; ++position) {
    std::string line;
    for (const auto& hierarchy : hierarchies) {
      if (!line.empty()) line += ", ";
      line += positions_of(*hierarchy)->Item(position)->f_MemberKey().value_or("?");
    }
    text += line + "\n";
  }
  return text;
}

// The data sources the engine serves in these tests.
const std::shared_ptr<engine::DataSources>& EngineDataSources() {
  static const auto data_sources = std::make_shared<engine::DataSources>();
  return data_sources;
}

}  // namespace

std::filesystem::path ProcessTempDir() {
  static const orvex::testing::TempDir folder;  // removed when the test process ends
  return folder.path();
}

void UseTinyEngine() {
  static std::once_flag once;
  std::call_once(once, [] {
    EngineDataSources()->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    engine::RegisterEmbeddedProvider(EngineDataSources());
    provider::RegisterProvider(kRecording, [](const Dictionary& items, int timeout) -> std::unique_ptr<provider::Session> {
      return std::make_unique<RecordingSession>(provider::FindProvider(kEngine)(items, timeout));
    });
  });
}

std::vector<std::string> TakeStatements() {
  std::lock_guard lock(GetRecorder().mutex);
  return std::exchange(GetRecorder().statements, {});
}

std::string LastStatement() {
  auto statements = TakeStatements();
  return statements.empty() ? "" : statements.back();
}

std::shared_ptr<DataSource> ConnectTiny(const std::string& provider) {
  UseTinyEngine();
  auto data_source = std::make_shared<DataSource>();
  data_source->SetActiveConnection(
      std::string_view(Globals::Instance().BuildConnectionString("Tiny", Variant(), provider)));
  return data_source;
}

std::shared_ptr<DataSource> ConnectFolder(const std::string& name, const std::filesystem::path& root) {
  UseTinyEngine();
  EngineDataSources()->Add(name, root);
  auto data_source = std::make_shared<DataSource>();
  data_source->SetActiveConnection(std::string_view(Globals::Instance().BuildConnectionString(name, Variant(), kEngine)));
  return data_source;
}

std::shared_ptr<DataSource> ConnectCatalog(const std::string& name, const std::string& schema_xml,
                                           const std::string& data_sql) {
  static std::mutex mutex;
  std::filesystem::path root = ProcessTempDir() / name;
  {
    std::lock_guard lock(mutex);
    if (!EngineDataSources()->Knows(name)) {
      std::filesystem::remove_all(root);
      std::filesystem::create_directories(root);
      orvex::testing::WriteCatalog(root, name, schema_xml, data_sql);
    }
  }
  return ConnectFolder(name, root);
}

std::shared_ptr<CubeView> NewSalesView(DataSource& data_source) {
  return data_source.Catalogs()->Item(Variant("Tiny"))->Cubes()->Item(Variant("Sales"))->CreateView();
}

std::string SetAxisXml(const std::vector<std::vector<std::string>>& tuples, const std::string& attributes) {
  pugi::xml_document document;
  pugi::xml_node set = document.append_child("axis").append_child("set");
  for (const auto& tuple : tuples) {
    pugi::xml_node t = set.append_child("t");
    for (const auto& member : tuple) t.append_child("m").text().set(member.c_str());
  }
  std::ostringstream out;
  document.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  std::string xml = out.str();
  if (!attributes.empty()) xml.insert(5, " " + attributes);
  return xml;
}

int32_t AddSetAxis(CubeView& view, const std::vector<std::vector<std::string>>& tuples,
                   const std::string& attributes) {
  return view.Axes()->Add(SetAxisXml(tuples, attributes));
}

std::string SourceTuples(Axis& axis) {
  auto hierarchies = axis.Hierarchies()->NewEnum();
  return TupleLines(hierarchies, axis.f_SourcePositionCount(),
                    [](AxisHierarchy& hierarchy) { return hierarchy.f_SourcePositions(); });
}

std::string ResultTuples(Axis& axis) {
  auto hierarchies = axis.Hierarchies()->NewEnum();
  return TupleLines(hierarchies, axis.PositionCount(), [](AxisHierarchy& hierarchy) { return hierarchy.Positions(); });
}

std::string Grid(CubeView& view) {
  auto axes = view.Axes();
  int32_t columns = axes->Count() > 0 ? axes->Item(0)->PositionCount() : 1;
  int32_t rows = axes->Count() > 1 ? axes->Item(1)->PositionCount() : 1;
  std::string text;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t column = 0; column < columns; ++column) {
      if (column > 0) text += "|";
      text += view.GetCell(row * columns + column)->FormattedValue();
    }
    text += "\n";
  }
  return text;
}

}  // namespace orvex::olap::testing
