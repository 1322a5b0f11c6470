#pragma once
#include <memory>

#include "engine/eval/cell_set.h"
#include "provider/cellset_data.h"

namespace orvex::engine {

// An executed statement as the provider API hands it out: axes named "Axis0",
// "Axis1", ..., the filter axis named "FilterAxis", and the cells. Axis,
// position, member and cell objects are small wrappers made when asked for.
// Immutable; safe to share between threads.
class EngineCellsetData final : public provider::CellsetData {
 public:
  explicit EngineCellsetData(std::shared_ptr<const CellSet> cell_set) : cell_set_(std::move(cell_set)) {}

  std::shared_ptr<provider::Axes> GetAxes() const override;
  std::shared_ptr<provider::Axis> GetFilterAxis() const override;
  // Throws ComError errors::kItemNotFound outside 0 to the cell count minus 1.
  std::shared_ptr<provider::Cell> GetCell(int ordinal) const override;

  const CellSet& cell_set() const { return *cell_set_; }

 private:
  std::shared_ptr<const CellSet> cell_set_;
};

}  // namespace orvex::engine
