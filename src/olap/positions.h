#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace orvex::olap {

class AxisLevel;
class Position;

// A fixed number of slots, each empty or holding a Position. A level's
// positions answer an empty slot with a new empty Position; a hierarchy's own
// positions (no level) have no empty slot.
class Positions {
 public:
  Positions() = default;
  Positions(const Positions&) = delete;
  Positions& operator=(const Positions&) = delete;

  // The position in slot `Index`; error 5 outside the slots, and error
  // 80040200 for an empty slot of a collection without level.
  std::shared_ptr<olap::Position> Item(int32_t Index) const;
  // The filled slots in the order they were added.
  std::vector<std::shared_ptr<olap::Position>> NewEnum() const;
  int32_t Count() const { return count_; }
  // True until a position with a member is added.
  bool AllEmpty() const { return all_empty_; }
  // The level's index for level positions; otherwise the deepest level index of an added member.
  int32_t HighestLevelIndex() const { return highest_level_index_; }

  // Sets the slot count (error 5 when negative) and the owning level (null for
  // none); positions added before stay.
  void f_Construct(int32_t Count, const std::shared_ptr<AxisLevel>& Level);
  void f_Terminate();
  // Puts `Position` in slot `Index` (error 457 when the slot is filled) and returns it.
  std::shared_ptr<olap::Position> f_Add(std::shared_ptr<olap::Position> Position, int32_t Index);
  // The position in slot `Index`, or null when the slot is empty or outside.
  const olap::Position* f_Slot(int32_t Index) const;

 private:
  std::weak_ptr<AxisLevel> level_;
  bool has_level_ = false;
  bool all_empty_ = true;
  int32_t highest_level_index_ = -1;
  int32_t count_ = -1;
  std::vector<std::shared_ptr<olap::Position>> slots_;
  std::vector<int32_t> added_;
};

}  // namespace orvex::olap
