#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "provider/cellset_data.h"

namespace pugi {
class xml_node;
}  // namespace pugi

namespace orvex::olap {

class AxisHierarchies;
class AxisHierarchy;
class CubeView;

// How an axis is sorted by the view's query; other values of SortOrder sort as Default.
enum class SortTypes : int32_t { Default = 0, Ascending = 1, Descending = 2 };

// One axis of a view: a displayed axis (index 0 and up), the filter axis
// (-1) or an axis not yet placed (-2); the last two are read-only. It keeps
// its source (the tuples the user chose, per hierarchy) apart from its results
// (the positions of the view's cell set). The source changes only by resolving
// an MDX set expression with a one-axis query.
class Axis : public std::enable_shared_from_this<Axis> {
 public:
  Axis() = default;
  Axis(const Axis&) = delete;
  Axis& operator=(const Axis&) = delete;

  std::shared_ptr<olap::CubeView> CubeView() const;
  int32_t Index() const;
  // The option setters raise error 445 on a read-only axis and clear the view's results.
  void SetSortOrder(int32_t SortOrder);
  int32_t SortOrder() const;
  void SetGroupByLevel(bool GroupByLevel);
  bool GroupByLevel() const;
  void SetShowEmpty(bool ShowEmpty);
  bool ShowEmpty() const;
  void SetShowTotalsOnExpand(bool ShowTotalsOnExpand);
  bool ShowTotalsOnExpand() const;

  // Heading operations. The heading is position `PositionIndex` of the result
  // on hierarchy `AxisHierarchyIndex` (a position or unique name), at level
  // `LevelIndex` when given. Each rewrites the source with one set expression
  // and clears the view's results, or changes nothing (expanding a leaf).
  // Without a position, expand and collapse act on a whole level.
  void ExpandHeading(const Variant& AxisHierarchyIndex, std::optional<int32_t> PositionIndex = {},
                     const Variant& LevelIndex = Variant());
  void CollapseHeading(const Variant& AxisHierarchyIndex, std::optional<int32_t> PositionIndex = {},
                       const Variant& LevelIndex = Variant());
  // Keeps only what lies under the heading.
  void IsolateHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex,
                      const Variant& LevelIndex = Variant());
  // Drops what lies under the heading.
  void RemoveHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex,
                     const Variant& LevelIndex = Variant());

  std::shared_ptr<AxisHierarchies> Hierarchies() const;
  // Name, position count and properties of the result axis; run the view's query if needed.
  std::string Name();
  int32_t PositionCount();
  provider::Properties Properties();
  // Reads an `axis` element (options, then a `set` or `hierarchy` elements);
  // error 445 on a read-only axis; clears the view's results.
  void Populate(std::string_view AxisNode);

  // Error 5 without a view. Without a definition the axis starts empty.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView);
  // The hierarchies of a result axis of the provider (the filter axis); error 5 for none.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, std::shared_ptr<provider::Axis> AxisDefinition);
  // The text of an `axis` element; blank text leaves the axis empty.
  void f_Construct(const std::shared_ptr<olap::CubeView>& CubeView, std::string_view AxisDefinition);
  void f_Terminate();
  void f_ClearResults();
  // The matching axis of the view's cell set (running the query); nullptr for an unplaced axis.
  std::shared_ptr<provider::Axis> f_CellSetAxis();
  void f_Index(int32_t Index);
  int32_t f_SourcePositionCount() const;
  // Whether result positions `Position1` and `Position2` show the same heading
  // at level `LevelIndex` of hierarchy `HierarchyIndex`.
  bool f_IsSameHeading(int32_t HierarchyIndex, int32_t LevelIndex, int32_t Position1, int32_t Position2);
  void f_Populate(std::string_view AxisNode);
  // The source tuples of a rectangle of hierarchies and positions, "(a, x), (b, y)".
  std::string f_SourceToMDX(std::optional<int32_t> FirstHierarchy = {}, std::optional<int32_t> LastHierarchy = {},
                            std::optional<int32_t> FirstPosition = {}, std::optional<int32_t> LastPosition = {});
  // Option setters without check or clearing.
  void f_SortOrder(int32_t SortOrder);
  void f_GroupByLevel(bool GroupByLevel);
  void f_ShowEmpty(bool ShowEmpty);
  void f_ShowTotalsOnExpand(bool ShowTotalsOnExpand);
  // Rebuilds the axis from `hierarchy` elements, each as its own text.
  void f_PopulateHierarchies(const std::vector<std::string>& HierarchyNodes);
  // Adds the hierarchy of one `hierarchy` element; returns its index.
  int32_t f_AddHierarchy(std::string_view HierarchyNode, const Variant& Before = Variant());
  // Removes one hierarchy (all when `Index` is empty) and resolves what is left.
  void f_RemoveHierarchy(const Variant& Index = Variant());

 private:
  struct Heading;
  struct Changes;
  std::shared_ptr<olap::CubeView> View() const;
  // Belongs to `view` with no hierarchies; error 5 without a view.
  void Attach(const std::shared_ptr<olap::CubeView>& view);
  void CheckWritable() const;
  // Sets an option of a placed axis and clears the view's results.
  template <class T>
  void SetOption(const char* procedure, T& option, T value);
  // Reads an option as its property procedure `procedure`.
  template <class T>
  T GetOption(const char* procedure, const T& option) const;
  // The result axis; error 91 for an axis that is not placed.
  std::shared_ptr<provider::Axis> ResultAxis();
  std::string p_ConvertLevelNodesToMDX(const pugi::xml_node& hierarchy_node);
  void p_Populate(const std::string& mdx);
  bool p_CompareToSource(int32_t result_position, int32_t source_position, int32_t FirstHierarchy,
                         int32_t LastHierarchy, std::optional<int32_t> LevelIndex);
  Heading ResolveHeading(const Variant& AxisHierarchyIndex, int32_t PositionIndex, const Variant& LevelIndex);
  std::optional<int32_t> ResolveLevel(AxisHierarchy& hierarchy, const Variant& LevelIndex);
  std::string ExpandedSet(const std::string& member) const;
  std::string AncestorKey(int32_t hierarchy, int32_t level, int32_t source_position);
  void ApplyChanges(int32_t hierarchy, const Changes& changes);

  std::weak_ptr<olap::CubeView> view_;
  int32_t index_ = -2;
  int32_t sort_order_ = static_cast<int32_t>(SortTypes::Default);
  bool group_by_level_ = true;
  bool show_empty_ = true;
  bool show_totals_on_expand_ = true;
  std::shared_ptr<AxisHierarchies> hierarchies_;
};

}  // namespace orvex::olap
