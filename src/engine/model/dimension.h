#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/model/hierarchy.h"

namespace orvex::engine {

// A dimension of a cube: one or more hierarchies. Immutable once built.
class Dimension {
 public:
  Dimension(std::string name, std::string unique_name, std::string caption, bool is_measures)
      : name_(std::move(name)), unique_name_(std::move(unique_name)), caption_(std::move(caption)),
        is_measures_(is_measures) {}
  Dimension(const Dimension&) = delete;
  Dimension& operator=(const Dimension&) = delete;

  const std::string& name() const { return name_; }
  const std::string& unique_name() const { return unique_name_; }  // "[Time]"
  const std::string& caption() const { return caption_; }
  bool is_measures() const { return is_measures_; }
  // True for a schema's type="TimeDimension", whose levels say what they count.
  bool is_time() const { return is_time_; }
  void SetTime(bool is_time) { is_time_ = is_time; }
  // False when the schema hides it from metadata listings; MDX still names it.
  bool visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  const std::vector<const Hierarchy*>& hierarchies() const { return hierarchies_; }
  void AddHierarchy(const Hierarchy* hierarchy) { hierarchies_.push_back(hierarchy); }
  void RemoveHierarchy(const Hierarchy* hierarchy) { std::erase(hierarchies_, hierarchy); }

 private:
  std::string name_;
  std::string unique_name_;
  std::string caption_;
  bool is_measures_;
  bool is_time_ = false;
  bool visible_ = true;
  std::vector<const Hierarchy*> hierarchies_;
};

}  // namespace orvex::engine
