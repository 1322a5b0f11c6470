#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"

namespace orvex::olap {

class CubeView;
class Range;

// The colour codes of ranges: 0x00BBGGRR, and clrHidden for values not shown.
enum ColourCode : int32_t {
  clrHidden = -1,
  clrBlack = 0,
  clrBlue = 16711680,
  clrCyan = 16776960,
  clrGreen = 65280,
  clrMagenta = 16711935,
  clrRed = 255,
  clrWhite = 16777215,
  clrYellow = 65535,
};

// The colour ranges of a view in order; a value takes the colour of the last
// range that contains it. Every change clears the view's results.
class Ranges {
 public:
  Ranges() = default;
  Ranges(const Ranges&) = delete;
  Ranges& operator=(const Ranges&) = delete;

  // Error 9 outside 0 to Count - 1.
  std::shared_ptr<olap::Range> Item(int32_t Index) const;
  std::vector<std::shared_ptr<olap::Range>> NewEnum() const;
  int32_t Count() const;
  // Appends a range; an omitted (empty) or null bound is no bound. Returns its index.
  int32_t Add(const Variant& Floor = Variant(), const Variant& Ceiling = Variant(), int32_t Colour = clrHidden);
  // Removes one range, or all when `Index` is empty.
  void Remove(const Variant& Index = Variant());
  // Replaces every range by those of a `ranges` element.
  void Populate(std::string_view RangesNode);
  // The index of the last range containing `Value`, or -1.
  int32_t FindLast(double Value) const;

  // Error 5 without a view.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView);
  void f_Terminate();
  // Populate without clearing the view's results. A failure leaves the ranges read so far.
  void f_Populate(std::string_view RangesNode);

 private:
  std::shared_ptr<olap::CubeView> p_CubeView() const;
  int32_t p_Add(std::shared_ptr<olap::Range> range);
  void p_Remove(const Variant& Index);

  std::weak_ptr<olap::CubeView> view_;
  std::vector<std::shared_ptr<olap::Range>> ranges_;
};

}  // namespace orvex::olap
