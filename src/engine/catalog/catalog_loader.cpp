#include "engine/catalog/catalog_loader.h"

#include <algorithm>
#include <optional>

#include "engine/model/catalog_state.h"
#include "engine/catalog/cube_builder.h"
#include "engine/common/engine_error.h"
#include "engine/catalog/store_columns.h"
#include "engine/schema/schema_reader.h"
#include "errors/event_log.h"
#include "engine/store/store_config.h"
#include "platform/text.h"

namespace orvex::engine {

std::shared_ptr<const Catalog> CatalogLoader::Load(const std::filesystem::path& folder) {
  // "Sales/" names the folder Sales as well as "Sales" does.
  std::string name = folder.lexically_normal().parent_path().filename().string();
  if (folder.has_filename()) name = folder.filename().string();
  try {
    std::error_code error;
    if (!std::filesystem::is_regular_file(folder / "schema.xml", error)) {
      throw EngineError("There is no schema.xml in the catalog folder.");
    }
    schema::SchemaDef schema = SchemaReader::Read(folder / "schema.xml");
    std::shared_ptr<const Store> store = StoreConfig::Read(folder).Open();

    std::optional<detail::StoreColumns> columns = detail::StoreColumns::Read(*store);
    std::shared_ptr<Catalog> catalog(new Catalog());
    catalog->state_->name = name;
    catalog->state_->store = store;
    // Virtual cubes last, over the base cubes built before them; the catalog
    // lists them all in schema order still.
    auto build = [&](const schema::CubeDef& cube) {
      if (!cube.notes.empty()) {
        EventLog log;
        for (const auto& note : cube.notes) {
          log.LogEvent("Catalog " + name + ", cube " + cube.name + ": " + note, EventLog::kInformation);
        }
      }
      try {
        for (const auto& loaded : catalog->state_->cubes) {
          if (EqualsIgnoreCase(loaded->name(), cube.name)) throw EngineError("A cube of this name is defined twice.");
        }
        catalog->state_->cubes.push_back(
            cube.virtual_cube ? CubeBuilder::BuildVirtual(cube, schema.cubes, catalog->state_->cubes, store)
                              : CubeBuilder::Build(cube, store, {}, columns ? &*columns : nullptr));
      } catch (const ComError& failure) {
        catalog->state_->failed_cubes[cube.name] = failure.description();
      }
    };
    for (const auto& cube : schema.cubes) {
      if (!cube.virtual_cube) build(cube);
    }
    for (const auto& cube : schema.cubes) {
      if (cube.virtual_cube) build(cube);
    }
    auto& cubes = catalog->state_->cubes;
    auto schema_index = [&](const std::shared_ptr<const Cube>& cube) {
      for (size_t index = 0; index < schema.cubes.size(); ++index) {
        if (schema.cubes[index].name == cube->name()) return index;
      }
      return schema.cubes.size();
    };
    std::stable_sort(cubes.begin(), cubes.end(), [&](const auto& a, const auto& b) { return schema_index(a) < schema_index(b); });
    catalog->state_->schema = std::make_shared<const schema::SchemaDef>(std::move(schema));
    return catalog;
  } catch (const ComError& failure) {
    throw EngineError("The catalog '" + name + "' cannot be opened: " + failure.description());
  }
}

}  // namespace orvex::engine
