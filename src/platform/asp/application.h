#pragma once
#include <string>

#include "platform/com/variant.h"

namespace orvex::asp {

// The hosting page's Application object. The front end checks that it was
// handed one and uses nothing else of it, so it has no members of its own.
class Application : public ComObject {
 public:
  std::string TypeName() const override { return "IApplicationObject"; }
};

}  // namespace orvex::asp
