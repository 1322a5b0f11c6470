#pragma once
#include <string>

namespace orvex::engine {

// A named set a schema defines for a cube (the cube's own, or the schema's):
// an MDX set formula, parsed and evaluated by the MDX layer when a statement
// names it. A statement's own set of the same name hides it.
struct NamedSet {
  std::string name;
  std::string caption;
  std::string description;
  std::string formula;
  int line = 0;  // in the schema, for messages
};

}  // namespace orvex::engine
