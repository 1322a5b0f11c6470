#pragma once
#include <memory>
#include <string>

#include "engine/eval/cell_set.h"
#include "engine/provider/lazy_properties.h"
#include "provider/cellset_data.h"

namespace orvex::engine {

// One cell of a result. Keeps the result alive.
class EngineCell final : public provider::Cell {
 public:
  EngineCell(std::shared_ptr<const CellSet> cell_set, int ordinal);

  // Empty, a number, a text or a truth value.
  Variant Value() const override;
  std::string FormattedValue() const override { return cell_.formatted_value; }
  int Ordinal() const override { return ordinal_; }
  // VALUE, FORMATTED_VALUE and CELL_ORDINAL, then FORMAT_STRING, FORE_COLOR
  // and BACK_COLOR where the statement's CELL PROPERTIES names them.
  const provider::Properties& GetProperties() const override { return properties_.Get(); }

 private:
  std::shared_ptr<const CellSet> cell_set_;
  int ordinal_;
  const CellResult& cell_;
  LazyProperties properties_;
};

}  // namespace orvex::engine
