#include "olap/axis_hierarchies.h"

#include "errors/trail.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchy.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "AxisHierarchies";
}  // namespace

std::shared_ptr<AxisHierarchy> AxisHierarchies::Item(const Variant& Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] { return hierarchies_.Item(Index); });
}

std::vector<std::shared_ptr<AxisHierarchy>> AxisHierarchies::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return hierarchies_.Items(); });
}

int32_t AxisHierarchies::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return hierarchies_.Count(); });
}

int32_t AxisHierarchies::Add(std::string_view HierarchyNode, const Variant& Before) {
  return Trail(kClass, "Add", [&] {
    CheckWritable();
    int32_t index = p_Axis()->f_AddHierarchy(HierarchyNode, Before);
    ClearViewResults();
    return index;
  });
}

void AxisHierarchies::Remove(const Variant& Index) {
  Trail(kClass, "Remove", [&] {
    CheckWritable();
    p_Axis()->f_RemoveHierarchy(Index);
    ClearViewResults();
  });
}

void AxisHierarchies::Move(const Variant& Index, const Variant& Before) {
  Trail(kClass, "Move", [&] {
    CheckWritable();
    Variant before = Before.IsEmpty() ? Before : Variant(hierarchies_.Item(Before)->Index());
    f_Move(Index, before);
    ClearViewResults();
  });
}

void AxisHierarchies::Populate(const std::vector<std::string>& HierarchyNodes) {
  Trail(kClass, "Populate", [&] {
    CheckWritable();
    p_Axis()->f_PopulateHierarchies(HierarchyNodes);
    ClearViewResults();
  });
}

bool AxisHierarchies::Exists(const Variant& Item) const {
  return Trail(kClass, "Exists", [&] { return IndexOf(Item) >= 0; });
}

int32_t AxisHierarchies::IndexOf(const Variant& Item) const {
  return Trail(kClass, "IndexOf", [&] {
    try {
      return hierarchies_.Item(Item)->Index();
    } catch (const ComError&) {
      return -1;
    }
  });
}

void AxisHierarchies::f_Construct(const std::shared_ptr<olap::Axis>& Axis,
                                  const std::shared_ptr<provider::Axis>& CellSetAxis) {
  Trail(kClass, "f_Construct", [&] {
    if (!Axis) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kAxisArgument);
    axis_ = Axis;
    if (!CellSetAxis) return;
    auto positions = CellSetAxis->GetPositions();
    int32_t position_count = positions->Count();
    if (position_count == 0) return;
    std::vector<std::shared_ptr<provider::Members>> members;
    members.reserve(static_cast<size_t>(position_count));
    for (int32_t position = 0; position < position_count; ++position) {
      members.push_back(positions->Item(position)->GetMembers());
    }
    int32_t hierarchy_count = CellSetAxis->DimensionCount();
    for (int32_t index = 0; index < hierarchy_count; ++index) {
      std::vector<std::shared_ptr<provider::Member>> source;
      source.reserve(members.size());
      for (const auto& tuple : members) source.push_back(tuple->Item(index));
      auto hierarchy = std::make_shared<AxisHierarchy>();
      hierarchy->f_Construct(Axis, source);
      std::string unique_name = hierarchy->UniqueName();
      hierarchies_.Add(unique_name, hierarchy);
      hierarchy->f_Index(index);
      // A hierarchy lives on one axis of a view: taking it here takes it off the others.
      auto view = Axis->CubeView();
      for (const auto& other : view->Axes()->NewEnum()) {
        if (other == Axis) continue;
        auto other_hierarchies = other->Hierarchies();
        if (other_hierarchies->Exists(Variant(unique_name))) other_hierarchies->Remove(Variant(unique_name));
      }
    }
  });
}

void AxisHierarchies::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    for (const auto& hierarchy : hierarchies_.Items()) hierarchy->f_Terminate();
    hierarchies_.Clear();
    axis_.reset();
  });
}

void AxisHierarchies::f_Remove(const Variant& Index) {
  Trail(kClass, "f_Remove", [&] {
    if (Index.IsEmpty()) {
      while (hierarchies_.Count() > 0) f_Remove(Variant(hierarchies_.Count() - 1));
      return;
    }
    int32_t position = hierarchies_.Item(Index)->Index();
    hierarchies_.RemoveAt(position)->f_Terminate();
    Renumber(position);
  });
}

void AxisHierarchies::f_Move(const Variant& Index, const Variant& Before) {
  Trail(kClass, "f_Move", [&] {
    auto hierarchy = hierarchies_.Item(Index);
    // The hierarchy `Before` names is found before anything moves, so that
    // taking the moved one out does not shift which hierarchy that is.
    std::shared_ptr<AxisHierarchy> target;
    if (!Before.IsEmpty()) {
      target = hierarchies_.Item(Before);
      if (target == hierarchy) return;
    }
    int32_t position = hierarchy->Index();
    hierarchies_.RemoveAt(position);
    Renumber(position);
    p_Add(hierarchy, target ? Variant(target->Index()) : Variant());
  });
}

std::shared_ptr<olap::Axis> AxisHierarchies::p_Axis() const {
  return Trail(kClass, "p_Axis [PropertyGet]", [&] { return detail::Lock(axis_); });
}

int32_t AxisHierarchies::p_Add(std::shared_ptr<AxisHierarchy> hierarchy, const Variant& Before) {
  return Trail(kClass, "p_Add", [&] {
    int32_t before = hierarchies_.Count();
    if (detail::IsPositionIndex(Before)) {
      before = Before.ToLong();
    } else if (!Before.IsEmpty()) {
      before = hierarchies_.Item(Before)->Index();
    }
    std::string unique_name = hierarchy->UniqueName();
    before = hierarchies_.Insert(unique_name, std::move(hierarchy), before);
    Renumber(before);
    return before;
  });
}

void AxisHierarchies::CheckWritable() const {
  if (p_Axis()->Index() < 0) throw detail::TesselError(errors::kActionNotSupported, detail::kReadOnlyAxis);
}

void AxisHierarchies::ClearViewResults() const { p_Axis()->CubeView()->f_ClearResults(); }

void AxisHierarchies::Renumber(int32_t from) {
  for (int32_t index = from; index < hierarchies_.Count(); ++index) hierarchies_.At(index)->f_Index(index);
}

}  // namespace orvex::olap
