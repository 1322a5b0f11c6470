#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/model/dimension.h"
#include "engine/model/hierarchy.h"
#include "engine/model/measure.h"
#include "engine/model/named_set.h"

namespace orvex::engine {

class CellReader;

// One cube of a catalog: its dimensions, hierarchies, measures and calculated
// members, and the reader of its cell values. Immutable once built and shared
// by every request (std::shared_ptr<const Cube>); the public members below are
// the MDX layer's contract, the rest belongs to the data layer.
class Cube {
 public:
  const std::string& name() const;
  const std::string& description() const;
  // In schema order, the measures dimension first.
  const std::vector<const Dimension*>& dimensions() const;
  // Every hierarchy but the measures, in dimension order; a hierarchy's
  // index() is its position here and in a Coordinate.
  const std::vector<const Hierarchy*>& hierarchies() const;
  const Hierarchy& measures_hierarchy() const;
  const std::vector<const Measure*>& measures() const;
  const std::vector<const CalculatedMemberDef*>& calculated_members() const;
  const Member* default_measure() const;
  // The schema's named sets for this cube, the cube's own first.
  const std::vector<NamedSet>& named_sets() const;

  // Lookups without regard to case; nullptr when absent.
  const Dimension* FindDimension(std::string_view name) const;
  const Hierarchy* FindHierarchy(std::string_view unique_name) const;

  // Reads stored-measure values through grouped queries, with a cache shared
  // by every request on this cube. Thread-safe.
  CellReader& cells() const;

  ~Cube();
  Cube(const Cube&) = delete;
  Cube& operator=(const Cube&) = delete;

 private:
  friend class CubeBuilder;
  Cube();
  struct State;  // defined by the data layer
  std::unique_ptr<State> state_;
};

}  // namespace orvex::engine
