#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "provider/metadata.h"

namespace orvex::olap {

class AxisHierarchy;
class Positions;

// One level of an axis hierarchy. Slot i of its positions holds what source or
// result position i shows at this level: the member's ancestor at this level,
// the member itself at its own level, and nothing below it. It answers as the
// cube's level too.
class AxisLevel : public provider::Level, public std::enable_shared_from_this<AxisLevel> {
 public:
  AxisLevel() = default;
  AxisLevel(const AxisLevel&) = delete;
  AxisLevel& operator=(const AxisLevel&) = delete;

  std::shared_ptr<AxisHierarchy> Hierarchy() const;
  // The level's depth.
  int32_t Index() const;
  // The result positions at this level, as many as the hierarchy's; runs the view's query if needed.
  std::shared_ptr<olap::Positions> Positions();
  std::string Caption() const override;
  int Depth() const override;
  std::string Description() const override;
  std::shared_ptr<provider::Members> Members() const;
  std::string Name() const override;
  provider::Properties Properties() const;
  std::string UniqueName() const override;
  // Whether result positions `Position1` and `Position2` show the same heading at this level.
  bool IsSameHeading(int32_t Position1, int32_t Position2) const;

  const provider::Properties& GetProperties() const override;
  std::shared_ptr<provider::Members> GetMembers() const override { return Members(); }

  // Error 5 without a hierarchy; `LevelKey` is the level's position in the cube hierarchy.
  void f_Construct(const std::shared_ptr<AxisHierarchy>& Hierarchy, int32_t LevelKey);
  void f_Terminate();
  std::shared_ptr<provider::Level> f_Level() const;
  std::shared_ptr<olap::Positions> f_SourcePositions() const;
  void f_ClearResults();
  // The result positions being filled by the hierarchy, created with `slot_count` slots when missing.
  std::shared_ptr<olap::Positions> f_ResultPositions(int32_t slot_count);

 private:
  std::weak_ptr<AxisHierarchy> hierarchy_;
  int32_t level_key_ = -1;
  std::shared_ptr<olap::Positions> result_positions_;
  std::shared_ptr<olap::Positions> source_positions_;
  mutable std::shared_ptr<provider::Level> level_;  // looked up once: cube metadata never changes
};

}  // namespace orvex::olap
