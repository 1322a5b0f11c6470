#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "olap/internal/keyed_list.h"
#include "platform/com/variant.h"

namespace orvex::olap {

class AxisHierarchy;
class AxisLevel;

// The levels of an axis hierarchy, top level first, keyed by level name.
class AxisLevels {
 public:
  // A number is a 0-based position (error 9 outside), anything else a level name (error 5 when unknown).
  std::shared_ptr<AxisLevel> Item(const Variant& Index) const;
  std::vector<std::shared_ptr<AxisLevel>> NewEnum() const;
  int32_t Count() const;
  bool Exists(const Variant& Item) const;
  // The level's index, or -1 when there is no such level.
  int32_t IndexOf(const Variant& Item) const;

  // One level per level of the hierarchy's cube hierarchy; error 5 without a hierarchy.
  void f_Construct(const std::shared_ptr<AxisHierarchy>& Hierarchy);
  void f_Terminate();

 private:
  detail::KeyedList<AxisLevel> levels_;
};

}  // namespace orvex::olap
