#pragma once
#include <cstdint>
#include <memory>
#include <string>
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

  std::string measure_;
  std::weak_ptr<olap::Cube> cube_;
  std::shared_ptr<provider::Cellset> cellset_;
  std::shared_ptr<olap::Axes> axes_;
  std::shared_ptr<olap::Axis> filter_axis_;
  std::shared_ptr<olap::Ranges> ranges_;
};

}  // namespace orvex::olap
