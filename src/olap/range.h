#pragma once
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/com/variant.h"
#include "platform/scripting/dictionary.h"

namespace orvex::olap {

class CubeView;

// A band of values with optional inclusive bounds and a colour.
class Range {
 public:
  Range() = default;
  Range(const Range&) = delete;
  Range& operator=(const Range&) = delete;

  bool IncludesValue(double Value) const;
  // A bound is null (none) or a double. Setting one converts a number or
  // numeric text (error 13 otherwise), then clears the view's results; once
  // the range has left its view, the value is stored and error 91 follows.
  Variant Floor() const;
  void SetFloor(const Variant& Floor);
  Variant Ceiling() const;
  void SetCeiling(const Variant& Ceiling);
  int32_t Colour() const { return colour_; }
  void SetColour(int32_t Colour);
  // Free for the client; null once the range has ended.
  std::shared_ptr<Dictionary> Properties() const { return properties_; }

  // Error 5 without a view; an empty or null bound is no bound.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, const Variant& Floor, const Variant& Ceiling,
                   int32_t Colour);
  // Drops the view and the properties.
  void f_Terminate();
  void f_Floor(const Variant& Floor);
  void f_Ceiling(const Variant& Ceiling);
  void f_Colour(int32_t Colour) { colour_ = Colour; }

 private:
  void ClearViewResults() const;

  std::weak_ptr<olap::CubeView> view_;
  std::optional<double> floor_;
  std::optional<double> ceiling_;
  int32_t colour_ = 0;
  std::shared_ptr<Dictionary> properties_ = std::make_shared<Dictionary>();
};

}  // namespace orvex::olap
