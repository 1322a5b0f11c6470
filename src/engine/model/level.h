#pragma once
#include <string>
#include <vector>

namespace orvex::engine {

class Hierarchy;
struct Member;

// A member property a schema declares on a level. Its values are in
// Member::properties, in the order of Level::properties().
struct LevelProperty {
  enum class Type { kString, kNumeric, kInteger, kBoolean, kDate, kTime, kTimestamp };
  std::string name;
  std::string caption;
  std::string description;
  Type type = Type::kString;
};

// What a schema's levelType says a level counts, for time functions.
enum class LevelType { kRegular, kTimeYears, kTimeHalfYears, kTimeQuarters, kTimeMonths, kTimeWeeks, kTimeDays,
                       kTimeHours, kTimeMinutes, kTimeSeconds, kTimeUndefined };

// A level of a hierarchy. Immutable once its cube is built.
class Level {
 public:
  Level(const Hierarchy* hierarchy, std::string name, std::string unique_name, std::string caption, int depth,
        bool is_all)
      : hierarchy_(hierarchy), name_(std::move(name)), unique_name_(std::move(unique_name)),
        caption_(std::move(caption)), depth_(depth), is_all_(is_all) {}
  Level(const Level&) = delete;
  Level& operator=(const Level&) = delete;

  const std::string& name() const { return name_; }
  const std::string& unique_name() const { return unique_name_; }
  const std::string& caption() const { return caption_; }
  int depth() const { return depth_; }
  bool is_all() const { return is_all_; }
  const Hierarchy& hierarchy() const { return *hierarchy_; }
  // The members at this level, in member order; loads the hierarchy's members
  // on first use (throws ComError if the store fails).
  const std::vector<const Member*>& members() const;
  // The member properties the schema declares here (none for the all level).
  const std::vector<LevelProperty>& properties() const { return properties_; }
  LevelType type() const { return type_; }
  // False when the schema hides it from metadata listings; MDX still names it.
  bool visible() const { return visible_; }

 private:
  friend class CubeBuilder;  // sets the properties and type while it builds the cube
  std::vector<LevelProperty> properties_;
  LevelType type_ = LevelType::kRegular;
  bool visible_ = true;
  const Hierarchy* hierarchy_;
  std::string name_;
  std::string unique_name_;
  std::string caption_;
  int depth_;
  bool is_all_;
};

}  // namespace orvex::engine
