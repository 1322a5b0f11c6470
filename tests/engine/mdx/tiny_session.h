#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "engine/catalog/data_sources.h"
#include "engine/eval/query_executor.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/embedded_provider.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"

// Statements run through the embedded provider over the Tiny catalog.
namespace orvex::engine::testing {

// The values of a statement's cells over `catalog`, in order, blank-separated; "-" for an empty cell.
inline std::string StatementCells(const std::shared_ptr<const Catalog>& catalog, const std::string& mdx) {
  auto result = QueryExecutor(catalog, EngineOptions{}).Execute(mdx);
  std::string text;
  for (const auto& cell : result->cells) {
    text += (text.empty() ? "" : " ") + (IsEmpty(cell.value) ? std::string("-") : ScalarText(cell.value));
  }
  return text;
}

// Data sources knowing only "Tiny" (and the local names) for the Tiny catalog.
inline std::shared_ptr<DataSources> TinySources() {
  static std::shared_ptr<DataSources> sources = [] {
    auto created = std::make_shared<DataSources>();
    created->AddLocalNames(orvex::testing::TinyCatalogsRoot());
    created->Add("Tiny", orvex::testing::TinyCatalogsRoot());
    return created;
  }();
  return sources;
}

inline std::shared_ptr<provider::CellsetData> RunTiny(std::string_view mdx, EngineOptions options = {}) {
  EngineSession session(TinySources(), "Tiny", options);
  return session.Execute("Tiny", mdx);
}

// The result as CellsetToTable writes it, without the filter axis.
inline std::string TinyTable(std::string_view mdx) { return CellsetToTable(*RunTiny(mdx), false); }

// The description of the error the statement fails with; "no error" when it runs.
inline std::string TinyError(std::string_view mdx) {
  try {
    (void)RunTiny(mdx);
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

// The rows of a CellsetToTable result as "name | cell | cell" lines, without
// the header and without the padding that follows the longest name.
inline std::string CompactRows(const std::string& table) {
  std::string rows;
  for (size_t start = table.find('\n') + 1; start > 0 && start < table.size();) {
    size_t end = table.find('\n', start);
    std::string line = table.substr(start, end - start);
    size_t bar = line.find('|');
    rows += line.substr(0, line.find_last_not_of(' ', bar - 1) + 1);
    for (size_t cell = bar; cell != std::string::npos;) {
      size_t next = line.find('|', cell + 1);
      std::string text = line.substr(cell + 1, next == std::string::npos ? std::string::npos : next - cell - 1);
      size_t first = text.find_first_not_of(' ');
      rows += " | " + (first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1));
      cell = next;
    }
    rows += "\n";
    start = end + 1;
  }
  return rows;
}

}  // namespace orvex::engine::testing
