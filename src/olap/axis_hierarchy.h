#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "provider/metadata.h"

namespace orvex::olap {

class Axis;
class AxisLevels;
class Positions;

// One hierarchy of an axis: its source positions (one per source tuple, fixed
// at construction) and its result positions (one per position of the view's
// result axis, built on first use). Each level keeps the same two sets.
class AxisHierarchy : public std::enable_shared_from_this<AxisHierarchy> {
 public:
  AxisHierarchy() = default;
  AxisHierarchy(const AxisHierarchy&) = delete;
  AxisHierarchy& operator=(const AxisHierarchy&) = delete;

  std::shared_ptr<olap::Axis> Axis() const;
  int32_t Index() const;
  std::shared_ptr<provider::Dimension> Dimension() const;
  // The dimension's name, then " (" hierarchy name ")" when the hierarchy has a name.
  std::string Caption() const;
  // The result positions: slot i holds the member of result position i. Runs
  // the view's query if needed; the same collection until results are cleared.
  std::shared_ptr<olap::Positions> Positions();
  std::shared_ptr<AxisLevels> Levels() const;
  std::string Description() const;
  std::string Name() const;
  provider::Properties Properties() const;
  std::string UniqueName() const;

  // Builds the source positions from one member per source tuple (error 5 for none).
  void f_Construct(const std::shared_ptr<olap::Axis>& Axis,
                   const std::vector<std::shared_ptr<provider::Member>>& SourceMembers);
  void f_Terminate();
  void f_Index(int32_t Index);
  // The cube's hierarchy object.
  std::shared_ptr<provider::Hierarchy> f_Hierarchy() const;
  std::shared_ptr<olap::Positions> f_SourcePositions() const;
  // Drops the result positions of the hierarchy and of every level.
  void f_ClearResults();
  const std::string& f_DimensionName() const { return dimension_name_; }

 private:
  // Puts `member` at `slot` of `own` and of its level's positions, and each
  // ancestor at `slot` of the ancestor's level; `result` picks the result sets.
  void AddMember(olap::Positions& own, int32_t slot, const provider::Member& member, bool result,
                 int32_t slot_count);

  std::weak_ptr<olap::Axis> axis_;
  int32_t index_ = -1;
  std::string dimension_name_;
  std::string hierarchy_name_;
  std::shared_ptr<olap::Positions> source_positions_;
  std::shared_ptr<AxisLevels> levels_;
  std::shared_ptr<olap::Positions> result_positions_;
  // Cube metadata never changes while a catalog is open, so it is looked up once.
  mutable std::shared_ptr<provider::Dimension> dimension_;
  mutable std::shared_ptr<provider::Hierarchy> hierarchy_;
};

}  // namespace orvex::olap
