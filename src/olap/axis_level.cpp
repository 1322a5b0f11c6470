#include "olap/axis_level.h"

#include "errors/trail.h"
#include "olap/axis.h"
#include "olap/axis_hierarchy.h"
#include "olap/internal/tessel_error.h"
#include "olap/positions.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "AxisLevel";
}  // namespace

std::shared_ptr<AxisHierarchy> AxisLevel::Hierarchy() const {
  return Trail(kClass, "Hierarchy [PropertyGet]", [&] { return detail::Lock(hierarchy_); });
}

int32_t AxisLevel::Index() const {
  return Trail(kClass, "Index [PropertyGet]", [&] { return static_cast<int32_t>(f_Level()->Depth()); });
}

std::shared_ptr<olap::Positions> AxisLevel::Positions() {
  return Trail(kClass, "Positions [PropertyGet]", [&] {
    if (!result_positions_) {
      // Building the hierarchy's result positions fills the levels they reach;
      // a level they do not reach gets all its slots empty.
      int32_t count = Hierarchy()->Positions()->Count();
      f_ResultPositions(count);
    }
    return result_positions_;
  });
}

std::string AxisLevel::Caption() const {
  return Trail(kClass, "Caption [PropertyGet]", [&] { return f_Level()->Caption(); });
}

int AxisLevel::Depth() const {
  return Trail(kClass, "Depth [PropertyGet]", [&] { return f_Level()->Depth(); });
}

std::string AxisLevel::Description() const {
  return Trail(kClass, "Description [PropertyGet]", [&] { return f_Level()->Description(); });
}

std::shared_ptr<provider::Members> AxisLevel::Members() const {
  return Trail(kClass, "Members [PropertyGet]", [&] { return f_Level()->GetMembers(); });
}

std::string AxisLevel::Name() const {
  return Trail(kClass, "Name [PropertyGet]", [&] { return f_Level()->Name(); });
}

provider::Properties AxisLevel::Properties() const { return GetProperties(); }

const provider::Properties& AxisLevel::GetProperties() const {
  return Trail(kClass, "Properties [PropertyGet]",
               [&]() -> const provider::Properties& { return f_Level()->GetProperties(); });
}

std::string AxisLevel::UniqueName() const {
  return Trail(kClass, "UniqueName [PropertyGet]", [&] { return f_Level()->UniqueName(); });
}

bool AxisLevel::IsSameHeading(int32_t Position1, int32_t Position2) const {
  return Trail(kClass, "IsSameHeading", [&] {
    auto hierarchy = Hierarchy();
    return hierarchy->Axis()->f_IsSameHeading(hierarchy->Index(), Index(), Position1, Position2);
  });
}

void AxisLevel::f_Construct(const std::shared_ptr<AxisHierarchy>& Hierarchy, int32_t LevelKey) {
  Trail(kClass, "f_Construct", [&] {
    if (!Hierarchy) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'AxisHierarchy' argument must be a reference to a valid 'AxisHierarchy' object.");
    }
    hierarchy_ = Hierarchy;
    level_key_ = LevelKey;
    source_positions_ = std::make_shared<olap::Positions>();
    source_positions_->f_Construct(Hierarchy->f_SourcePositions()->Count(), shared_from_this());
  });
}

void AxisLevel::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    hierarchy_.reset();
    if (source_positions_) source_positions_->f_Terminate();
    f_ClearResults();
  });
}

std::shared_ptr<provider::Level> AxisLevel::f_Level() const {
  return Trail(kClass, "f_Level [PropertyGet]", [&] {
    if (!level_) level_ = Hierarchy()->f_Hierarchy()->GetLevels()->Item(level_key_);
    return level_;
  });
}

std::shared_ptr<olap::Positions> AxisLevel::f_SourcePositions() const {
  return Trail(kClass, "f_SourcePositions [PropertyGet]", [&] { return source_positions_; });
}

void AxisLevel::f_ClearResults() {
  Trail(kClass, "f_ClearResults", [&] {
    if (!result_positions_) return;
    auto positions = std::move(result_positions_);
    result_positions_.reset();
    positions->f_Terminate();
  });
}

std::shared_ptr<olap::Positions> AxisLevel::f_ResultPositions(int32_t slot_count) {
  if (!result_positions_) {
    auto positions = std::make_shared<olap::Positions>();
    positions->f_Construct(slot_count, shared_from_this());
    result_positions_ = std::move(positions);
  }
  return result_positions_;
}

}  // namespace orvex::olap
