#include "errors/trail.h"
#include "frontend/orvex.h"

namespace orvex::frontend {

// Placeholder: the view body is written by the view renderer once it is built; until then it writes nothing.
void Orvex::WriteView(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer) {
  Trail("Orvex", "WriteView", [] {});
}

}  // namespace orvex::frontend
