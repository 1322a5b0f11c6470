#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "provider/metadata.h"

namespace orvex::olap {

class AxisLevel;

// One slot of a Positions collection: a level and, unless empty, the unique name of a member.
class Position {
 public:
  Position() = default;
  Position(const Position&) = delete;
  Position& operator=(const Position&) = delete;

  std::shared_ptr<AxisLevel> Level() const;
  int32_t Index() const { return index_; }
  // The cube's member, looked up by unique name at the position's level
  // ("__Filtered__" removed, so the view's filtered measure gives the real
  // one); null for an empty position.
  std::shared_ptr<provider::Member> Member() const;
  // "(All)" for an empty position, else the member's caption.
  std::string Caption() const;

  void f_Construct(const std::shared_ptr<AxisLevel>& Level, std::optional<std::string> MemberKey = {});
  void f_Terminate();
  void f_Index(int32_t Index) { index_ = Index; }
  // The member's unique name as stored; nullopt for an empty position.
  const std::optional<std::string>& f_MemberKey() const { return member_key_; }

 private:
  std::weak_ptr<AxisLevel> level_;
  int32_t index_ = -1;
  std::optional<std::string> member_key_;
};

}  // namespace orvex::olap
