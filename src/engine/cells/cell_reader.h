#pragma once
#include <optional>
#include <span>
#include <vector>

#include "engine/common/decimal.h"
#include "engine/model/measure.h"
#include "engine/model/member.h"
#include "engine/store/deadline.h"

namespace orvex::engine {

// The members of one cell of a cube: one per hierarchy of Cube::hierarchies(),
// at that hierarchy's index. A hierarchy at its all member (or a member at the
// all level) is not filtered.
using Coordinate = std::vector<const Member*>;

struct CellRequest {
  const Measure* measure = nullptr;
  const Coordinate* coordinate = nullptr;  // must live until Fetch returns
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
};

}  // namespace orvex::engine
