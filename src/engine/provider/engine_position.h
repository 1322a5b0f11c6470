#pragma once
#include <memory>

#include "engine/eval/cell_set.h"
#include "provider/cellset_data.h"

namespace orvex::engine {

// One position of a result axis: a member per hierarchy of the axis. Keeps the result alive.
class EnginePosition final : public provider::Position {
 public:
  EnginePosition(std::shared_ptr<const CellSet> cell_set, const Tuple& tuple, int ordinal)
      : cell_set_(std::move(cell_set)), tuple_(tuple), ordinal_(ordinal) {}

  int Ordinal() const override { return ordinal_; }
  // By position, or by unique name then name, without regard to case.
  std::shared_ptr<provider::Members> GetMembers() const override;

 private:
  std::shared_ptr<const CellSet> cell_set_;
  const Tuple& tuple_;
  int ordinal_;
};

}  // namespace orvex::engine
