#include "engine/cells/cell_reader.h"

#include "engine/common/engine_error.h"

namespace orvex::engine {

RowSet CellReader::ReadFactRows(const FactRowsRequest&, Deadline) {
  throw EngineError("Drill-through is not available on this cube: its cells are not read from one fact table.");
}

}  // namespace orvex::engine
