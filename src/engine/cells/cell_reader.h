#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/common/decimal.h"
#include "engine/model/measure.h"
#include "engine/model/member.h"
#include "engine/store/deadline.h"
#include "engine/store/row_set.h"

namespace orvex::engine {

// The members of one cell of a cube: one per hierarchy of Cube::hierarchies(),
// at that hierarchy's index. A hierarchy at its all member (or a member at the
// all level) is not filtered.
using Coordinate = std::vector<const Member*>;

// A set of tuples a cell is aggregated over, as a compound slicer or
// Aggregate() asks for: the fact rows under any one of the tuples count once.
// Each tuple holds one member per hierarchy of `hierarchies` (positions in
// Cube::hierarchies(), ascending); an all member there filters nothing. The
// coordinate of a cell with a filter holds no member (nullptr) at those
// positions. `id` names the set canonically (equal sets, equal ids), so that
// its cells can be cached across statements.
struct TupleFilter {
  std::vector<int32_t> hierarchies;
  std::vector<std::vector<const Member*>> tuples;
  std::string id;
  // Sorts and deduplicates the tuples and fills `id`.
  void Normalize();
};

struct CellRequest {
  const Measure* measure = nullptr;
  const Coordinate* coordinate = nullptr;  // must live until Fetch returns
  const TupleFilter* filter = nullptr;     // likewise; nullptr: the coordinate alone
};

// One column of the fact rows behind a cell: the text of the member of a
// level each row lies under (its caption, name or key), or a stored
// measure's value in the row.
struct FactColumn {
  enum class Kind { kCaption, kName, kKey, kMeasure };
  Kind kind = Kind::kCaption;
  const Hierarchy* hierarchy = nullptr;  // a level's column: its hierarchy, of the cube read
  int depth = 0;                         // and the level's depth in it
  const Measure* measure = nullptr;      // kMeasure
};

// The fact rows under one cell: those under every member of `coordinate`
// (as for CellRequest) and, with a filter, under one of its tuples.
struct FactRowsRequest {
  const Coordinate* coordinate = nullptr;  // must live until the read returns
  const TupleFilter* filter = nullptr;     // likewise; nullptr: the coordinate alone
  std::vector<FactColumn> columns;
  int64_t max_rows = 0;  // at most this many rows (above 0)
};

// A stored measure's value at a coordinate: a number (exact where the store
// summed decimals), or empty when no fact row falls in the cell.
using CellValue = std::optional<CellNumber>;

// Reads stored-measure values of one cube. Requests missing from the cache are
// grouped by the combination of levels their coordinates touch and answered
// with one grouped query per combination (never one query per cell), filtered
// to the members involved. Results are cached for the life of the cube.
// Thread-safe: any number of requests may fetch at once.
class CellReader {
 public:
  virtual ~CellReader() = default;
  // Fills values[i] for requests[i]; throws ComError when the store fails or
  // its statements are still running at `deadline`.
  virtual void Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline deadline) = 0;
  void Fetch(std::span<const CellRequest> requests, std::span<CellValue> values) {
    Fetch(requests, values, kNoDeadline);
  }
  // The fact rows behind one cell, one value per column of `request`, in an
  // order that is the same on every read (so that pages of them fit
  // together); no rows for an empty cell. Throws ComError when the store
  // fails or is still running at `deadline`, and (this default) for a
  // reader that has no rows to show.
  virtual RowSet ReadFactRows(const FactRowsRequest& request, Deadline deadline);
};

}  // namespace orvex::engine
