#include "olap/positions.h"

#include "errors/trail.h"
#include "olap/axis_level.h"
#include "olap/internal/tessel_error.h"
#include "olap/position.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Positions";
}  // namespace

std::shared_ptr<olap::Position> Positions::Item(int32_t Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] {
    if (Index < 0 || Index >= count_) {
      if (count_ <= 0) throw detail::TesselError(errors::kInvalidProcedureCall, "This collection contains no elements.");
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "Index out of range.  The index '" + std::to_string(Index) +
                                    "' must be between 0 and " + std::to_string(count_ - 1) + ".");
    }
    if (static_cast<size_t>(Index) < slots_.size() && slots_[static_cast<size_t>(Index)]) {
      return slots_[static_cast<size_t>(Index)];
    }
    if (!has_level_) {
      throw detail::TesselError(static_cast<int32_t>(0x80040200u),
                                "There should be no empty positions in the AxisHierarchy.Positions collection.");
    }
    auto empty = std::make_shared<olap::Position>();
    empty->f_Construct(detail::Lock(level_));
    empty->f_Index(Index);
    return empty;
  });
}

std::vector<std::shared_ptr<olap::Position>> Positions::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] {
    std::vector<std::shared_ptr<olap::Position>> positions;
    positions.reserve(added_.size());
    for (int32_t slot : added_) positions.push_back(slots_[static_cast<size_t>(slot)]);
    return positions;
  });
}

void Positions::f_Construct(int32_t Count, const std::shared_ptr<AxisLevel>& Level) {
  Trail(kClass, "f_Construct", [&] {
    if (Count < 0) {
      throw detail::TesselError(errors::kInvalidProcedureCall, "'Count' must be greater than, or equal to, zero.");
    }
    count_ = Count;
    level_ = Level;
    has_level_ = Level != nullptr;
    if (Level) highest_level_index_ = Level->Index();
  });
}

void Positions::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    level_.reset();
    for (const auto& position : slots_) {
      if (position) position->f_Terminate();
    }
    slots_.clear();
    added_.clear();
  });
}

std::shared_ptr<olap::Position> Positions::f_Add(std::shared_ptr<olap::Position> Position, int32_t Index) {
  return Trail(kClass, "f_Add", [&] {
    if (Index < 0) throw detail::TesselPlatformError(errors::kInvalidProcedureCall);
    if (slots_.size() <= static_cast<size_t>(Index)) slots_.resize(static_cast<size_t>(Index) + 1);
    auto& slot = slots_[static_cast<size_t>(Index)];
    if (slot) throw detail::TesselPlatformError(errors::kDuplicateKey);
    Position->f_Index(Index);
    slot = Position;
    added_.push_back(Index);
    if (Position->f_MemberKey()) {
      all_empty_ = false;
      int32_t level_index = Position->Level()->Index();
      if (level_index > highest_level_index_) highest_level_index_ = level_index;
    }
    return Position;
  });
}

const olap::Position* Positions::f_Slot(int32_t Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= slots_.size()) return nullptr;
  return slots_[static_cast<size_t>(Index)].get();
}

}  // namespace orvex::olap
