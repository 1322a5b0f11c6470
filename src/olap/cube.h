#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "provider/metadata.h"

namespace orvex::olap {

class Catalog;
class CubeView;

// The dimension and hierarchy a hierarchy unique name names; `hierarchy` is
// null when the name gives only a dimension that has several hierarchies.
struct HierarchyObjects {
  std::shared_ptr<provider::Dimension> dimension;
  std::shared_ptr<provider::Hierarchy> hierarchy;
};

// One cube of a catalog. The cube definition is looked up again on every call;
// the cube keeps every view it created until it ends.
class Cube : public std::enable_shared_from_this<Cube> {
 public:
  Cube() = default;
  Cube(const Cube&) = delete;
  Cube& operator=(const Cube&) = delete;

  // The owning catalog; error 91 once the cube has ended.
  std::shared_ptr<olap::Catalog> Catalog() const;
  // The members of the "Measures" dimension (first hierarchy, first level).
  std::shared_ptr<provider::Members> Measures() const;
  // The measure named by the measures hierarchy's DEFAULT_MEMBER property.
  std::shared_ptr<provider::Member> DefaultMeasure() const;
  std::string Description() const;
  std::shared_ptr<provider::Dimensions> Dimensions() const;
  std::string Name() const;
  provider::Properties Properties() const;
  // False when the cube has no dimension or its first dimension cannot be read.
  bool IsAccessible() const;
  // The dimension named by the first part and, for a dimension with several
  // hierarchies, the hierarchy named by the second.
  HierarchyObjects GetHierarchyObjects(std::string_view UniqueName) const;
  // A new view on this cube with the default measure and no axes.
  std::shared_ptr<olap::CubeView> CreateView();

  // Error 5 without a catalog.
  void f_Construct(const std::shared_ptr<olap::Catalog>& Catalog, int32_t CubeDefKey);
  // Releases the catalog and ends every view this cube created.
  void f_Terminate();
  std::shared_ptr<provider::CubeDef> f_CubeDef() const;
  // The cube's hierarchy `HierarchyName` of dimension `DimensionName`, both looked up by name.
  std::shared_ptr<provider::Hierarchy> f_Hierarchy(std::string_view DimensionName,
                                                   std::string_view HierarchyName) const;

 private:
  std::weak_ptr<olap::Catalog> catalog_;
  std::optional<int32_t> key_;
  std::vector<std::shared_ptr<olap::CubeView>> views_;
};

}  // namespace orvex::olap
