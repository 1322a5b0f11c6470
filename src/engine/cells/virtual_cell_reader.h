#pragma once
#include <mutex>
#include <unordered_map>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/model/hierarchy.h"

namespace orvex::engine {

// Reads a virtual cube's cells from its base cubes: each stored measure is
// one base cube's, and each cell is asked of that cube's own reader (grouped
// queries and cache included), its coordinate translated member by member
// through unique names. A member of a hierarchy the base cube does not have
// leaves the cell empty, unless the base cube ignores unrelated dimensions;
// their all members never do. Thread-safe, as its base readers are.
class VirtualCellReader : public CellReader {
 public:
  struct Base {
    CellReader* reader = nullptr;  // the base cube's; must outlive this reader
    std::vector<const Hierarchy*> hierarchies;  // the base cube's, in its coordinate order
    // Per base hierarchy: the virtual cube's hierarchy index it takes its
    // member from, or -1 to read it at its total.
    std::vector<int> from_virtual;
    // Per virtual hierarchy: true when the base cube has it.
    std::vector<bool> related;
    bool ignore_unrelated_dimensions = false;
  };
  // `measures` maps each stored measure of the virtual cube to its base (an
  // index into `bases`) and that base cube's own measure.
  VirtualCellReader(std::vector<Base> bases,
                    std::unordered_map<const Measure*, std::pair<size_t, const Measure*>> measures);
  VirtualCellReader(const VirtualCellReader&) = delete;
  VirtualCellReader& operator=(const VirtualCellReader&) = delete;

  void Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline deadline) override;

 private:
  // The base hierarchy's member of `member`'s unique name; nullptr when it has none.
  const Member* Translate(const Hierarchy& base, const Member& member);

  std::vector<Base> bases_;
  std::unordered_map<const Measure*, std::pair<size_t, const Measure*>> measures_;
  std::mutex mutex_;
  std::unordered_map<const Member*, std::unordered_map<const Hierarchy*, const Member*>> translated_;  // guarded by mutex_
};

}  // namespace orvex::engine
