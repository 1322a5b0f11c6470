#include "errors/trail.h"
#include "frontend/orvex.h"

namespace orvex::frontend {

// Placeholder: snapshots are written by the view renderer once it is built; until then this writes nothing.
void Orvex::WriteSnapshot(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer) {
  Trail("Orvex", "WriteSnapshot", [] {});
}

}  // namespace orvex::frontend
