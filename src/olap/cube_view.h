#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/variant.h"
#include "provider/cellset.h"
#include "provider/metadata.h"

namespace pugi {
class xml_node;
}  // namespace pugi

namespace orvex::olap {

class Axes;
class Axis;
class AxisHierarchy;
class Cell;
class Cube;
class Position;
class Ranges;

// A filter of an extended view definition: members of one hierarchy (on no
// displayed axis) that the cells are aggregated over; several make a
// compound slicer.
struct ViewFilter {
  std::string dimension_name;
  std::string hierarchy_name;  // "" for a dimension's only hierarchy
  std::vector<std::string> members;  // unique names
};

// A named set of the cube on a displayed axis of an extended view definition:
// the statement takes the set's members (as the cube defines it when the
// query runs) in place of the members the axis lists for that hierarchy.
struct ViewNamedSet {
  int32_t axis = 0;
  std::string dimension_name;
  std::string hierarchy_name;  // "" for a dimension's only hierarchy
  std::string set;  // the set's unique name, as the cube lists it
};

// One view of a cube: a measure, displayed axes, colour ranges and, once its
// query has run, a filter axis. Results (the cell set, the filter axis, every
// axis's result positions) are built on first use and dropped on every change
// of the definition.
class CubeView : public std::enable_shared_from_this<CubeView> {
 public:
  CubeView() = default;
  CubeView(const CubeView&) = delete;
  CubeView& operator=(const CubeView&) = delete;

  // Error 91 once the view has ended.
  std::shared_ptr<olap::Cube> Cube() const;
  // A measure by position (a number), by name or by unique name; clears the results.
  void SetMeasure(const Variant& Measure);
  // The cube's member of the current measure.
  std::shared_ptr<provider::Member> Measure() const;
  std::shared_ptr<olap::Axes> Axes() const;
  std::shared_ptr<olap::Ranges> Ranges() const;
  // The read-only axis (index -1) of what is on no displayed axis; runs the query if needed.
  std::shared_ptr<olap::Axis> FilterAxis();
  // A new Cell for one cell of the result: `Positions` is an ordinal (a
  // number) or an array of position indexes, one per displayed axis. Runs the
  // query if needed.
  std::shared_ptr<olap::Cell> GetCell(const Variant& Positions);
  std::shared_ptr<olap::Cell> GetCell(int32_t Ordinal);
  std::shared_ptr<olap::Cell> GetCell(const std::vector<int32_t>& Positions);
  // The extensions of a view definition, beside the classic elements and
  // ignored by the classic reader (CreateCubeView), its statement (f_CellSet)
  // and its result objects: filters, and measures on a displayed axis.
  // Neither clears results; QueryMDX builds the statement they describe.
  // Throws error 5 naming the fault for an unknown hierarchy, the measures
  // dimension, a hierarchy given twice or a filter without members.
  void SetFilters(std::vector<ViewFilter> Filters);
  const std::vector<ViewFilter>& Filters() const { return filters_; }
  // Measures by name or unique name, placed innermost on the axis `AxisIndex`
  // (one past the displayed axes: an axis of their own). The first becomes
  // the view's measure. An empty list puts the measure back in the slicer.
  void SetMeasures(const std::vector<std::string>& Measures, int32_t AxisIndex);
  // Named sets of the cube, each in place of one hierarchy of a displayed
  // axis; an empty list leaves every axis as it lists its members. The set
  // may be given by name or unique name and is kept by its unique name.
  // Error 5 for a set the cube does not define, an unknown hierarchy, the
  // measures, a negative axis or a hierarchy given twice. Clears no results.
  void SetNamedSets(std::vector<ViewNamedSet> Sets);
  const std::vector<ViewNamedSet>& NamedSets() const { return named_sets_; }
  // Unique names; empty unless SetMeasures gave some.
  const std::vector<std::string>& AxisMeasures() const { return axis_measures_; }
  int32_t MeasuresAxis() const { return measures_axis_; }
  // Reads the extensions (`filters`, `measures`, `namedSets`) from a view definition
  // document; absent ones leave the view as it is.
  void f_PopulateExtensions(std::string_view CubeViewNode);
  // The statement of the whole definition: the classic one (as f_CellSet runs
  // it) when there are no extensions. A compound filter cannot share the
  // slicer with a measure, so without measures on an axis it puts the view's
  // measure innermost on the first axis. Error 5 for a filter hierarchy that
  // is also on a displayed axis, a measures axis past the displayed ones, or
  // a named set whose hierarchy is not on its axis.
  std::string QueryMDX();

  // The view definition document: 0 set form, 1 and 2 heading form, 3 and 4
  // heading form with the filter axis and every cell (2 and 4: all levels).
  std::string ToXML(int32_t Format = 1);

  // Error 5 without a cube; takes the cube's default measure.
  void f_Construct(const std::shared_ptr<olap::Cube>& Cube);
  // Drops the cube and the results and ends axes and ranges.
  void f_Terminate();
  // Closes the cell set, clears every axis's results and drops the filter axis.
  void f_ClearResults();
  // The open cell set, running the view's query when there is none.
  std::shared_ptr<provider::Cellset> f_CellSet();
  // Sets the measure without clearing results.
  void f_Measure(const Variant& Measure);
  // The unique name of the current measure.
  const std::string& f_MeasureUniqueName() const { return measure_; }

 private:
  std::string p_BuildMDX();
  // A new Cell of this view for the cell set's cell.
  std::shared_ptr<olap::Cell> NewCell(const provider::Cell& cell);
  // The heading form of one hierarchy, appended to `parent`.
  pugi::xml_node p_BuildHierarchyElement(pugi::xml_node parent, AxisHierarchy& hierarchy, bool all_levels);
  pugi::xml_node p_BuildHeadingElement(pugi::xml_node level_element, const olap::Position& position, int32_t span);

  // The statement of p_BuildMDX, and with `extended` that of QueryMDX.
  std::string p_BuildStatement(bool extended);
  // The set of tuples axis `AxisIndex` lists, with the named sets on it in
  // place of their hierarchies' members.
  std::string p_AxisSourceMDX(Axis& axis, int32_t AxisIndex);

  std::string measure_;
  std::vector<ViewFilter> filters_;
  std::vector<std::string> filter_hierarchies_;  // the unique name of each filter's hierarchy
  std::vector<ViewNamedSet> named_sets_;
  std::vector<std::string> named_set_hierarchies_;  // the unique name of each set's hierarchy
  std::vector<std::string> axis_measures_;
  int32_t measures_axis_ = 0;
  std::weak_ptr<olap::Cube> cube_;
  std::shared_ptr<provider::Cellset> cellset_;
  std::shared_ptr<olap::Axes> axes_;
  std::shared_ptr<olap::Axis> filter_axis_;
  std::shared_ptr<olap::Ranges> ranges_;
};

}  // namespace orvex::olap
