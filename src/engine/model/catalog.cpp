#include "engine/model/catalog.h"

#include "engine/model/catalog_state.h"

#include <algorithm>
#include <optional>
#include "engine/model/cube_builder.h"
#include "engine/model/engine_error.h"
#include "engine/model/role_access.h"
#include "engine/store/store.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

// Roles a union may nest, at most: deeper is a cycle or a mistake.
constexpr int kMaxRoleNesting = 16;

// The roles `name` stands for: itself, or the roles its union joins.
void CollectRoles(const schema::SchemaDef& schema, const std::string& catalog, std::string_view name,
                  std::vector<const schema::RoleDef*>& roles, int depth) {
  const schema::RoleDef* role = nullptr;
  for (const auto& candidate : schema.roles) {
    if (EqualsIgnoreCase(candidate.name, name)) {
      role = &candidate;
      break;
    }
  }
  if (!role) throw EngineError("The role '" + std::string(name) + "' is not defined in the catalog '" + catalog + "'.");
  if (!role->error.empty()) throw EngineError("The role '" + role->name + "' cannot be used: " + role->error);
  if (role->union_of.empty()) {
    roles.push_back(role);
    return;
  }
  if (depth >= kMaxRoleNesting) {
    throw EngineError("The role '" + role->name + "' cannot be used: its unions nest too deep or refer to themselves.");
  }
  for (const auto& used : role->union_of) CollectRoles(schema, catalog, used, roles, depth + 1);
}

// Whether any of `roles` may use the cube named `cube`, as far as names alone tell.
bool AnyGrants(const std::vector<const schema::RoleDef*>& roles, const std::string& cube) {
  for (const schema::RoleDef* role : roles) {
    const schema::CubeGrantDef* grant = nullptr;
    for (const auto& candidate : role->cubes) {
      if (EqualsIgnoreCase(candidate.cube, cube)) {
        grant = &candidate;
        break;
      }
    }
    if (grant ? grant->access != "none" : role->schema_access == "all") return true;
  }
  return false;
}

}  // namespace

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

std::shared_ptr<const Catalog> Catalog::ForRole(std::shared_ptr<const Catalog> catalog, std::string_view role) {
  std::string name = Trim(role);
  if (name.empty()) return catalog;
  const State& state = *catalog->state_;
  if (!state.schema) throw EngineError("The catalog '" + state.name + "' is already restricted to a role.");
  std::lock_guard lock(state.roles_mutex);
  auto found = state.by_role.find(ToLower(name));
  if (found != state.by_role.end()) return found->second;

  std::vector<const schema::RoleDef*> roles;
  CollectRoles(*state.schema, state.name, name, roles, 0);
  std::shared_ptr<Catalog> restricted(new Catalog());
  restricted->state_->name = state.name;
  restricted->state_->store = state.store;
  try {
    for (const auto& definition : state.schema->cubes) {
      auto base = std::find_if(state.cubes.begin(), state.cubes.end(), [&](const std::shared_ptr<const Cube>& cube) {
        return cube->name() == definition.name;
      });
      bool seen = std::any_of(restricted->state_->cubes.begin(), restricted->state_->cubes.end(),
                              [&](const std::shared_ptr<const Cube>& cube) { return cube->name() == definition.name; });
      if (seen) continue;  // a second definition of a name, which failed to load
      if (base == state.cubes.end()) {
        // A broken cube stays broken for those who may use it, and unknown to everyone else.
        auto failed = state.failed_cubes.find(definition.name);
        if (failed != state.failed_cubes.end() && AnyGrants(roles, definition.name)) {
          restricted->state_->failed_cubes.insert(*failed);
        }
        continue;
      }
      std::optional<CubeAccess> access = ResolveCubeAccess(roles, **base);
      if (access) restricted->state_->cubes.push_back(CubeBuilder::BuildRestricted(*base, definition, *access));
    }
  } catch (const ComError& failure) {
    throw EngineError("The role '" + name + "' cannot be used: " + failure.description());
  }
  state.by_role.emplace(ToLower(name), restricted);
  return restricted;
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
