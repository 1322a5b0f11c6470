#include "engine/provider/engine_axis.h"

#include "engine/provider/engine_position.h"
#include "engine/provider/lazy_collection.h"

namespace orvex::engine {

EngineAxis::EngineAxis(std::shared_ptr<const CellSet> cell_set, int index)
    : cell_set_(std::move(cell_set)), index_(index),
      axis_(index < 0 ? cell_set_->filter_axis : cell_set_->axes[static_cast<size_t>(index)]) {}

std::string EngineAxis::Name() const { return index_ < 0 ? "FilterAxis" : "Axis" + std::to_string(index_); }

std::shared_ptr<provider::Positions> EngineAxis::GetPositions() const {
  auto cell_set = cell_set_;
  const AxisResult* axis = &axis_;
  return std::make_shared<LazyCollection<provider::Position>>(
      static_cast<int>(axis->positions.size()),
      [cell_set, axis](int index) {
        return std::make_shared<EnginePosition>(cell_set, axis->positions[static_cast<size_t>(index)], index);
      },
      nullptr);
}

}  // namespace orvex::engine
