#pragma once
#include <memory>
#include <string>

#include "engine/eval/cell_set.h"
#include "provider/cellset_data.h"

namespace orvex::engine {

// One axis of a result (index -1: the filter axis). Keeps the result alive.
class EngineAxis final : public provider::Axis {
 public:
  EngineAxis(std::shared_ptr<const CellSet> cell_set, int index);

  std::string Name() const override;
  int DimensionCount() const override { return static_cast<int>(axis_.hierarchies.size()); }
  std::shared_ptr<provider::Positions> GetPositions() const override;
  const provider::Properties& GetProperties() const override { return properties_; }

 private:
  std::shared_ptr<const CellSet> cell_set_;
  int index_;
  const AxisResult& axis_;
  provider::Properties properties_;
};

}  // namespace orvex::engine
