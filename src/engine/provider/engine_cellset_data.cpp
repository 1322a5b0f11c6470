#include "engine/provider/engine_cellset_data.h"

#include "engine/provider/engine_axis.h"
#include "engine/provider/engine_cell.h"
#include "engine/provider/lazy_collection.h"
#include "platform/text.h"

namespace orvex::engine {

std::shared_ptr<provider::Axes> EngineCellsetData::GetAxes() const {
  auto cell_set = cell_set_;
  int count = static_cast<int>(cell_set->axes.size());
  return std::make_shared<LazyCollection<provider::Axis>>(
      count, [cell_set](int index) { return std::make_shared<EngineAxis>(cell_set, index); },
      [cell_set, count](std::string_view name) -> std::shared_ptr<provider::Axis> {
        for (int index = 0; index < count; ++index) {
          if (EqualsIgnoreCase(name, "Axis" + std::to_string(index))) return std::make_shared<EngineAxis>(cell_set, index);
        }
        return nullptr;
      });
}

std::shared_ptr<provider::Axis> EngineCellsetData::GetFilterAxis() const {
  return std::make_shared<EngineAxis>(cell_set_, -1);
}

std::shared_ptr<provider::Cell> EngineCellsetData::GetCell(int ordinal) const {
  if (ordinal < 0 || ordinal >= static_cast<int>(cell_set_->cells.size())) {
    throw provider::ItemNotFound(kEngineErrorSource);
  }
  return std::make_shared<EngineCell>(cell_set_, ordinal);
}

}  // namespace orvex::engine
