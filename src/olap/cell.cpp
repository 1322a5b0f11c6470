#include "olap/cell.h"

#include <cmath>

#include "errors/trail.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"
#include "olap/ranges.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Cell";
}  // namespace

int32_t Cell::RangeIndex() {
  return Trail(kClass, "RangeIndex [PropertyGet]", [&] {
    if (range_index_ < 0) {
      Variant value = Value();
      // An infinite or not-a-number value is an error value, which no range colours.
      bool error_value = value.type() == Variant::Type::kDouble && !std::isfinite(value.ToDouble());
      if (!value.IsNull() && !value.IsEmpty() && !error_value) {
        range_index_ = detail::Lock(view_)->Ranges()->FindLast(value.ToDouble());
      }
    }
    return range_index_;
  });
}

std::string Cell::FormattedValue() const {
  return Trail(kClass, "FormattedValue [PropertyGet]", [&] { return p_Cell()->FormattedValue(); });
}

provider::Properties Cell::Properties() const { return GetProperties(); }

Variant Cell::Value() const {
  return Trail(kClass, "Value [PropertyGet]", [&] { return p_Cell()->Value(); });
}

const provider::Properties& Cell::GetProperties() const {
  return Trail(kClass, "Properties [PropertyGet]", [&]() -> const provider::Properties& {
    cell_ = p_Cell();
    return cell_->GetProperties();
  });
}

void Cell::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, int32_t Ordinal) {
  Trail(kClass, "f_Construct", [&] {
    if (!CubeView) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kCubeViewArgument);
    view_ = CubeView;
    ordinal_ = Ordinal;
  });
}

void Cell::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    view_.reset();
    cell_.reset();
  });
}

std::shared_ptr<provider::Cell> Cell::p_Cell() const {
  return Trail(kClass, "p_Cell [PropertyGet]", [&] { return detail::Lock(view_)->f_CellSet()->Item(ordinal_); });
}

}  // namespace orvex::olap
