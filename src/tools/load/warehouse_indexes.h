#pragma once
#include <filesystem>
#include <vector>

#include "engine/schema/schema_def.h"
#include "engine/store/postgres/postgres_table_copy.h"

namespace orvex::tools {

// The indexes a PostgreSQL store needs for the joins its cell and member
// statements make: each cube's fact table on the foreign key of every
// dimension joined to it, and each dimension table on its hierarchy's
// primary key and on the keys of its snowflake joins. Only plain tables
// are named (views and inline tables have nothing to index); each pair once,
// in schema order.
std::vector<engine::PostgresIndex> WarehouseIndexes(const engine::schema::SchemaDef& schema);

// The same for the catalog in `catalog_dir`; none when it has no
// schema.xml yet, or one that cannot be read (the server reports that when
// it opens the catalog; the load itself does not need it).
std::vector<engine::PostgresIndex> WarehouseIndexes(const std::filesystem::path& catalog_dir);

}  // namespace orvex::tools
