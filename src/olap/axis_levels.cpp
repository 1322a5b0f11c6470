#include "olap/axis_levels.h"

#include "errors/trail.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/internal/tessel_error.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "AxisLevels";
}  // namespace

std::shared_ptr<AxisLevel> AxisLevels::Item(const Variant& Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] { return levels_.Item(Index); });
}

std::vector<std::shared_ptr<AxisLevel>> AxisLevels::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return levels_.Items(); });
}

int32_t AxisLevels::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return levels_.Count(); });
}

bool AxisLevels::Exists(const Variant& Item) const {
  return Trail(kClass, "Exists", [&] { return IndexOf(Item) >= 0; });
}

int32_t AxisLevels::IndexOf(const Variant& Item) const {
  return Trail(kClass, "IndexOf", [&] {
    try {
      return levels_.Item(Item)->Index();
    } catch (const ComError&) {
      return -1;
    }
  });
}

void AxisLevels::f_Construct(const std::shared_ptr<AxisHierarchy>& Hierarchy) {
  Trail(kClass, "f_Construct", [&] {
    if (!Hierarchy) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'AxisHierarchy' argument must be a reference to a valid 'AxisHierarchy' object.");
    }
    auto levels = Hierarchy->f_Hierarchy()->GetLevels();
    int32_t count = levels->Count();
    for (int32_t key = 0; key < count; ++key) {
      auto level = std::make_shared<AxisLevel>();
      level->f_Construct(Hierarchy, key);
      levels_.Add(levels->Item(key)->Name(), level);
    }
  });
}

void AxisLevels::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    for (const auto& level : levels_.Items()) level->f_Terminate();
    levels_.Clear();
  });
}

}  // namespace orvex::olap
