#include "olap/range.h"

#include "errors/trail.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Range";

std::optional<double> ToBound(const Variant& value) {
  if (value.IsNull()) return std::nullopt;
  return value.ToDouble();
}

Variant FromBound(const std::optional<double>& bound) { return bound ? Variant(*bound) : Variant::Null(); }
}  // namespace

bool Range::IncludesValue(double Value) const {
  return Trail(kClass, "IncludesValue", [&] {
    if (floor_ && Value < *floor_) return false;
    if (ceiling_ && Value > *ceiling_) return false;
    return true;
  });
}

Variant Range::Floor() const {
  return Trail(kClass, "Floor [PropertyGet]", [&] { return FromBound(floor_); });
}

void Range::SetFloor(const Variant& Floor) {
  Trail(kClass, "Floor [PropertyLet]", [&] {
    f_Floor(Floor);
    ClearViewResults();
  });
}

Variant Range::Ceiling() const {
  return Trail(kClass, "Ceiling [PropertyGet]", [&] { return FromBound(ceiling_); });
}

void Range::SetCeiling(const Variant& Ceiling) {
  Trail(kClass, "Ceiling [PropertyLet]", [&] {
    f_Ceiling(Ceiling);
    ClearViewResults();
  });
}

void Range::SetColour(int32_t Colour) {
  Trail(kClass, "Colour [PropertyLet]", [&] {
    colour_ = Colour;
    ClearViewResults();
  });
}

void Range::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, const Variant& Floor,
                        const Variant& Ceiling, int32_t Colour) {
  Trail(kClass, "f_Construct", [&] {
    if (!CubeView) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kCubeViewArgument);
    view_ = CubeView;
    f_Floor(Floor.IsEmpty() ? Variant::Null() : Floor);
    f_Ceiling(Ceiling.IsEmpty() ? Variant::Null() : Ceiling);
    colour_ = Colour;
  });
}

void Range::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    view_.reset();
    properties_.reset();
  });
}

void Range::f_Floor(const Variant& Floor) {
  Trail(kClass, "f_Floor [PropertyLet]", [&] { floor_ = ToBound(Floor); });
}

void Range::f_Ceiling(const Variant& Ceiling) {
  Trail(kClass, "f_Ceiling [PropertyLet]", [&] { ceiling_ = ToBound(Ceiling); });
}

void Range::ClearViewResults() const { detail::Lock(view_)->f_ClearResults(); }

}  // namespace orvex::olap
