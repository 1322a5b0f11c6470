#pragma once
#include <memory>
#include <string>

#include "engine/model/dimension.h"
#include "provider/metadata.h"

namespace orvex::engine {

// A dimension of the engine as the provider API hands it out (the measures
// are the dimension "Measures"). `owner` keeps the catalog alive.
class EngineDimension final : public provider::Dimension {
 public:
  EngineDimension(std::shared_ptr<const void> owner, const engine::Dimension& dimension);

  std::string Name() const override { return dimension_.name(); }
  std::string UniqueName() const override { return dimension_.unique_name(); }
  std::string Description() const override { return ""; }
  // DIMENSION_UNIQUE_NAME.
  const provider::Properties& GetProperties() const override { return properties_; }
  // The visible hierarchies; by name (the unnamed hierarchy has the empty name)
  // or unique name, hidden ones too, without regard to case.
  std::shared_ptr<provider::Hierarchies> GetHierarchies() const override;

 private:
  std::shared_ptr<const void> owner_;
  const engine::Dimension& dimension_;
  provider::Properties properties_;
};

}  // namespace orvex::engine
