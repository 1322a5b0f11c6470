#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "olap/internal/keyed_list.h"
#include "platform/com/variant.h"
#include "provider/cellset_data.h"

namespace orvex::olap {

class Axis;
class AxisHierarchy;

// The hierarchies of one axis in axis order, keyed by unique name.
class AxisHierarchies {
 public:
  AxisHierarchies() = default;
  AxisHierarchies(const AxisHierarchies&) = delete;
  AxisHierarchies& operator=(const AxisHierarchies&) = delete;

  // A number is a 0-based position (error 9 outside), anything else a unique name (error 5 when unknown).
  std::shared_ptr<AxisHierarchy> Item(const Variant& Index) const;
  std::vector<std::shared_ptr<AxisHierarchy>> NewEnum() const;
  int32_t Count() const;
  // The public changes raise error 445 on a read-only axis and clear the view's results.
  // Adds the hierarchy of a `hierarchy` element before `Before`; returns its index.
  int32_t Add(std::string_view HierarchyNode, const Variant& Before = Variant());
  // Removes one hierarchy, or every hierarchy when `Index` is empty, and resolves the rest.
  void Remove(const Variant& Index = Variant());
  // Moves a hierarchy in front of the one `Before` names (to the end when empty).
  void Move(const Variant& Index, const Variant& Before = Variant());
  // Rebuilds the axis from `hierarchy` elements.
  void Populate(const std::vector<std::string>& HierarchyNodes);
  bool Exists(const Variant& Item) const;
  // The hierarchy's index, or -1 when it is not on the axis.
  int32_t IndexOf(const Variant& Item) const;

  // One hierarchy per hierarchy of `CellSetAxis` (none for null or no
  // positions). A hierarchy found on another displayed axis of the view is
  // removed there: a hierarchy lives on one axis only. Error 5 without an axis.
  void f_Construct(const std::shared_ptr<olap::Axis>& Axis, const std::shared_ptr<provider::Axis>& CellSetAxis);
  void f_Terminate();
  // Ends and removes one hierarchy, or all when `Index` is empty; nothing is resolved.
  void f_Remove(const Variant& Index = Variant());
  // Moves a hierarchy in front of the one `Before` names (a position or unique name).
  void f_Move(const Variant& Index, const Variant& Before = Variant());

 private:
  std::shared_ptr<olap::Axis> p_Axis() const;
  int32_t p_Add(std::shared_ptr<AxisHierarchy> hierarchy, const Variant& Before);
  void CheckWritable() const;
  void ClearViewResults() const;
  void Renumber(int32_t from);

  std::weak_ptr<olap::Axis> axis_;
  detail::KeyedList<AxisHierarchy> hierarchies_;
};

}  // namespace orvex::olap
