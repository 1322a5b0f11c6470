#pragma once
#include <filesystem>
#include <string_view>

#include "engine/schema/schema_def.h"

namespace orvex::engine {

// Reads the schema language of catalogs: the common vocabulary of
// <Schema>, <Cube>, <Table>, <Join>, <Dimension>, <DimensionUsage>,
// <Hierarchy>, <Level>, <Measure> and <CalculatedMember>, and the <Role>s
// that restrict connections. Elements that only describe (annotations,
// aggregate-table hints) are read past. A broken role comes back with its
// `error` set; a connection that names it is refused. A cube that uses a construct changing results which this
// engine does not support, or that is broken, comes back with its `error`
// set, naming the construct and its line; the other cubes are unaffected.
class SchemaReader {
 public:
  // Throws ComError when the text is not well-formed XML or its root is not <Schema>.
  static schema::SchemaDef Parse(std::string_view xml);
  // Throws ComError as Parse does, and when the file cannot be read.
  static schema::SchemaDef Read(const std::filesystem::path& path);
};

}  // namespace orvex::engine
