#include "olap/axis_hierarchy.h"

#include "errors/trail.h"
#include "olap/axis.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"
#include "olap/position.h"
#include "olap/positions.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "AxisHierarchy";
}  // namespace

std::shared_ptr<olap::Axis> AxisHierarchy::Axis() const {
  return Trail(kClass, "Axis [PropertyGet]", [&] { return detail::Lock(axis_); });
}

int32_t AxisHierarchy::Index() const {
  return Trail(kClass, "Index [PropertyGet]", [&] { return index_; });
}

std::shared_ptr<provider::Dimension> AxisHierarchy::Dimension() const {
  return Trail(kClass, "Dimension [PropertyGet]", [&] {
    if (!dimension_) {
      dimension_ = Axis()->CubeView()->Cube()->Dimensions()->Item(std::string_view(dimension_name_));
    }
    return dimension_;
  });
}

std::string AxisHierarchy::Caption() const {
  return Trail(kClass, "Caption [PropertyGet]", [&] {
    std::string caption = Dimension()->Name();
    std::string name = f_Hierarchy()->Name();
    if (!name.empty()) caption += " (" + name + ")";
    return caption;
  });
}

std::shared_ptr<olap::Positions> AxisHierarchy::Positions() {
  return Trail(kClass, "Positions [PropertyGet]", [&] {
    if (result_positions_) return result_positions_;
    auto cell_set_axis = Axis()->f_CellSetAxis();
    if (!cell_set_axis) throw detail::TesselPlatformError(errors::kObjectNotSet);
    auto positions = cell_set_axis->GetPositions();
    int32_t count = positions->Count();
    auto own = std::make_shared<olap::Positions>();
    own->f_Construct(count, nullptr);
    try {
      for (int32_t slot = 0; slot < count; ++slot) {
        AddMember(*own, slot, *positions->Item(slot)->GetMembers()->Item(index_), true, count);
      }
    } catch (...) {
      f_ClearResults();  // levels filled so far must not outlive a failed build
      throw;
    }
    result_positions_ = std::move(own);
    return result_positions_;
  });
}

std::shared_ptr<AxisLevels> AxisHierarchy::Levels() const {
  return Trail(kClass, "Levels [PropertyGet]", [&] { return levels_; });
}

std::string AxisHierarchy::Description() const {
  return Trail(kClass, "Description [PropertyGet]", [&] { return f_Hierarchy()->Description(); });
}

std::string AxisHierarchy::Name() const {
  return Trail(kClass, "Name [PropertyGet]", [&] { return f_Hierarchy()->Name(); });
}

provider::Properties AxisHierarchy::Properties() const {
  return Trail(kClass, "Properties [PropertyGet]", [&] { return f_Hierarchy()->GetProperties(); });
}

std::string AxisHierarchy::UniqueName() const {
  return Trail(kClass, "UniqueName [PropertyGet]", [&] { return f_Hierarchy()->UniqueName(); });
}

void AxisHierarchy::f_Construct(const std::shared_ptr<olap::Axis>& Axis,
                                const std::vector<std::shared_ptr<provider::Member>>& SourceMembers) {
  Trail(kClass, "f_Construct", [&] {
    if (!Axis) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kAxisArgument);
    if (SourceMembers.empty()) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'SourceMembers' collection must contain at least one member.");
    }
    axis_ = Axis;
    int32_t count = static_cast<int32_t>(SourceMembers.size());
    source_positions_ = std::make_shared<olap::Positions>();
    source_positions_->f_Construct(count, nullptr);
    HierarchyObjects objects = Axis->CubeView()->Cube()->GetHierarchyObjects(SourceMembers.front()->UniqueName());
    if (!objects.hierarchy) throw detail::TesselPlatformError(errors::kObjectNotSet);
    dimension_ = objects.dimension;
    hierarchy_ = objects.hierarchy;
    dimension_name_ = dimension_->Name();
    hierarchy_name_ = hierarchy_->Name();
    levels_ = std::make_shared<AxisLevels>();
    levels_->f_Construct(shared_from_this());
    for (int32_t slot = 0; slot < count; ++slot) AddMember(*source_positions_, slot, *SourceMembers[slot], false, count);
  });
}

void AxisHierarchy::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    axis_.reset();
    if (levels_) levels_->f_Terminate();
    if (source_positions_) source_positions_->f_Terminate();
    if (result_positions_) result_positions_->f_Terminate();
    result_positions_.reset();
  });
}

void AxisHierarchy::f_Index(int32_t Index) {
  Trail(kClass, "f_Index [PropertyLet]", [&] { index_ = Index; });
}

std::shared_ptr<provider::Hierarchy> AxisHierarchy::f_Hierarchy() const {
  return Trail(kClass, "f_Hierarchy [PropertyGet]", [&] {
    if (!hierarchy_) hierarchy_ = Dimension()->GetHierarchies()->Item(std::string_view(hierarchy_name_));
    return hierarchy_;
  });
}

std::shared_ptr<olap::Positions> AxisHierarchy::f_SourcePositions() const {
  return Trail(kClass, "f_SourcePositions [PropertyGet]", [&] { return source_positions_; });
}

void AxisHierarchy::f_ClearResults() {
  Trail(kClass, "f_ClearResults", [&] {
    // Every level, not only those the last result reached: a level asked for
    // while empty must not keep slots of an earlier result.
    if (levels_) {
      for (const auto& level : levels_->NewEnum()) level->f_ClearResults();
    }
    if (result_positions_) {
      auto positions = std::move(result_positions_);
      result_positions_.reset();
      positions->f_Terminate();
    }
  });
}

void AxisHierarchy::AddMember(olap::Positions& own, int32_t slot, const provider::Member& member, bool result,
                              int32_t slot_count) {
  auto positions_of = [&](const std::shared_ptr<AxisLevel>& level) {
    return result ? level->f_ResultPositions(slot_count) : level->f_SourcePositions();
  };
  auto level = levels_->Item(Variant(member.LevelDepth()));
  auto position = std::make_shared<olap::Position>();
  position->f_Construct(level, member.UniqueName());
  positions_of(level)->f_Add(position, slot);
  own.f_Add(position, slot);
  for (auto ancestor = member.Parent(); ancestor; ancestor = ancestor->Parent()) {
    auto ancestor_level = levels_->Item(Variant(ancestor->LevelDepth()));
    auto ancestor_position = std::make_shared<olap::Position>();
    ancestor_position->f_Construct(ancestor_level, ancestor->UniqueName());
    positions_of(ancestor_level)->f_Add(ancestor_position, slot);
  }
}

}  // namespace orvex::olap
