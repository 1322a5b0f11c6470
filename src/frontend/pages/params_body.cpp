#include "frontend/orvex.h"

namespace orvex::frontend {

// Placeholder: the parameters form is written here once it is built; until then the pane stays empty.
void Orvex::WriteParamsBody(const asp::Request& objRequest, asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteParamsBody");
}

}  // namespace orvex::frontend
