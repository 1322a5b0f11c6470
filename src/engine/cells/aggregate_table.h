#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/model/measure.h"
#include "engine/model/relation_sql.h"

namespace orvex::engine {

// A table holding the fact rows already grouped to coarser levels, which a
// query may read instead of the fact table when it holds every level and
// measure the query needs. Built once by the cube builder, immutable after.
struct AggregateTable {
  // How the table reaches one hierarchy of the cube.
  struct Link {
    enum class Kind {
      kNone,        // not at all: the table holds that hierarchy's total only
      kForeignKey,  // a foreign key as the fact table's, joined to the hierarchy's tables
      kLevels,      // the keys of its levels from the top down to `deepest` (collapsed)
    };
    Kind kind = Kind::kNone;
    detail::RelationSql::Condition join;  // kForeignKey: aggregate column = primary key
    std::vector<std::string> level_sql;   // kLevels: by depth, the column with that level's key
    int deepest = -1;
  };

  std::string name;
  detail::RelationSql relation;  // the table alone
  std::vector<Link> links;       // one per hierarchy of the cube, at its index
  // The SQL that rolls each measure the table holds up to coarser groups:
  // sums and counts are summed, minima and maxima taken again.
  std::unordered_map<const Measure*, std::string> aggregates;
  // Distinct counts cannot be rolled up: read only where a query groups by
  // exactly the table's levels.
  std::unordered_map<const Measure*, std::string> exact;
};

}  // namespace orvex::engine
