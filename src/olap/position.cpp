#include "olap/position.h"

#include "errors/trail.h"
#include "olap/axis_level.h"
#include "olap/internal/tessel_error.h"
#include "platform/text.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Position";

// Removes every "__Filtered__", in any letter case.
std::string WithoutFilteredMarker(std::string_view key) {
  static constexpr std::string_view kMarker = "__Filtered__";
  std::string result;
  size_t start = 0;
  std::string lower = ToLower(key);
  std::string marker = ToLower(kMarker);
  for (size_t found = lower.find(marker); found != std::string::npos; found = lower.find(marker, start)) {
    result.append(key.substr(start, found - start));
    start = found + marker.size();
  }
  result.append(key.substr(start));
  return result;
}
}  // namespace

std::shared_ptr<AxisLevel> Position::Level() const {
  return Trail(kClass, "Level [PropertyGet]", [&] { return detail::Lock(level_); });
}

std::shared_ptr<provider::Member> Position::Member() const {
  return Trail(kClass, "Member [PropertyGet]", [&]() -> std::shared_ptr<provider::Member> {
    if (!member_key_) return nullptr;
    return Level()->f_Level()->GetMembers()->Item(std::string_view(WithoutFilteredMarker(*member_key_)));
  });
}

std::string Position::Caption() const {
  return Trail(kClass, "Caption [PropertyGet]", [&] {
    if (!member_key_) return std::string("(All)");
    return Member()->Caption();
  });
}

void Position::f_Construct(const std::shared_ptr<AxisLevel>& Level, std::optional<std::string> MemberKey) {
  Trail(kClass, "f_Construct", [&] {
    level_ = Level;
    member_key_ = std::move(MemberKey);
  });
}

void Position::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] { level_.reset(); });
}

}  // namespace orvex::olap
