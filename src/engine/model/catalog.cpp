#include "engine/model/catalog.h"

#include "engine/model/catalog_state.h"

#include "engine/common/engine_error.h"
#include "engine/store/store.h"
#include "platform/text.h"

namespace orvex::engine {

Catalog::Catalog() : state_(std::make_unique<State>()) {}
Catalog::~Catalog() = default;

const std::string& Catalog::name() const { return state_->name; }
const std::vector<std::shared_ptr<const Cube>>& Catalog::cubes() const { return state_->cubes; }
const std::map<std::string, std::string>& Catalog::failed_cubes() const { return state_->failed_cubes; }

void Catalog::CheckStore() const {
  try {
    state_->store->CheckReachable();
  } catch (const ComError& failure) {
    throw EngineError("The catalog '" + state_->name + "' cannot reach its data: " + failure.description());
  }
}

const Cube& Catalog::FindCube(std::string_view name) const {
  for (const auto& cube : state_->cubes) {
    if (EqualsIgnoreCase(cube->name(), name)) return *cube;
  }
  for (const auto& [failed, reason] : state_->failed_cubes) {
    if (EqualsIgnoreCase(failed, name)) {
      throw EngineError("The cube '" + failed + "' of the catalog '" + state_->name + "' could not be loaded: " +
                        reason);
    }
  }
  throw EngineError("The cube '" + std::string(name) + "' does not exist in the catalog '" + state_->name + "'.");
}

}  // namespace orvex::engine
