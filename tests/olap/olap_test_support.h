#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "olap/axis.h"
#include "olap/cube_view.h"
#include "olap/data_source.h"

// Test support of the object model: the embedded engine over the Tiny catalog,
// and a provider that passes everything to it while recording each statement.
namespace orvex::olap::testing {

// The provider names: the engine itself, and the engine behind a recorder.
inline constexpr const char* kEngine = "MSOLAP";
inline constexpr const char* kRecording = "Recording";

// Registers both providers (once per process) with the data source "Tiny".
void UseTinyEngine();
// The statements run through "Recording" since the last call, oldest first.
std::vector<std::string> TakeStatements();
// The last statement run through "Recording"; "" when none ran since the last take.
std::string LastStatement();

// A data source connected to the Tiny catalog through `provider`.
std::shared_ptr<DataSource> ConnectTiny(const std::string& provider = kRecording);
// A temporary folder of this test process.
std::filesystem::path ProcessTempDir();
// A data source connected through the engine to the data source `name`,
// whose catalogs are the folders below `root` (registered on first use).
std::shared_ptr<DataSource> ConnectFolder(const std::string& name, const std::filesystem::path& root);
// A data source connected, through the engine, to a catalog of its own named
// `name`, written once per process from a schema and the SQL that fills its store.
std::shared_ptr<DataSource> ConnectCatalog(const std::string& name, const std::string& schema_xml,
                                           const std::string& data_sql);
// A new view of the Sales cube of the Tiny catalog.
std::shared_ptr<CubeView> NewSalesView(DataSource& data_source);

// The text of an `axis` element whose set holds `tuples` (member unique names), with options.
std::string SetAxisXml(const std::vector<std::vector<std::string>>& tuples, const std::string& attributes = "");
// Adds an axis holding `tuples` to the view; returns its index.
int32_t AddSetAxis(CubeView& view, const std::vector<std::vector<std::string>>& tuples,
                   const std::string& attributes = "");

// The source tuples of an axis, one line per tuple: "[a], [b]".
std::string SourceTuples(Axis& axis);
// The result of an axis, one line per position: its members' unique names, ", " between.
std::string ResultTuples(Axis& axis);
// Every cell of a view of up to two axes as rows of formatted values, "|" between cells.
std::string Grid(CubeView& view);

}  // namespace orvex::olap::testing
