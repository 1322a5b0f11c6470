#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "provider/cellset_data.h"

namespace orvex::olap {

class CubeView;

// One cell of a view's result, fetched again by ordinal from the view's
// current cell set on every read. It answers as the provider's cell too.
class Cell : public provider::Cell {
 public:
  Cell() = default;
  Cell(const Cell&) = delete;
  Cell& operator=(const Cell&) = delete;

  // The index of the last range containing the value, looked up once; -1 for
  // an empty value or no range. A value that is not a number is error 13.
  int32_t RangeIndex();
  std::string FormattedValue() const override;
  int Ordinal() const override { return ordinal_; }
  provider::Properties Properties() const;
  // Empty for an empty cell, else a number or a text.
  Variant Value() const override;
  const provider::Properties& GetProperties() const override;

  // Error 5 without a view.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, int32_t Ordinal);
  void f_Terminate();

 private:
  std::shared_ptr<provider::Cell> p_Cell() const;

  std::weak_ptr<olap::CubeView> view_;
  int32_t ordinal_ = -1;
  int32_t range_index_ = -1;
  mutable std::shared_ptr<provider::Cell> cell_;  // keeps GetProperties' answer alive
};

}  // namespace orvex::olap
