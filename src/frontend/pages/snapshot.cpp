#include "errors/trail.h"
#include "frontend/orvex.h"
#include "platform/text.h"
#include "render/view.h"

namespace orvex::frontend {

// A snapshot of the posted view in a window of its own: a static table for
// the format "html", the view's definition with headings and cells otherwise.
void Orvex::WriteSnapshot(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer) {
  Trail("Orvex", "WriteSnapshot", [&] {
    render::View view;
    const std::string format = ToLower(Trim(objRequest.Form().Item("format").ToString()));
    if (format == "html") {
      view.WriteHTMLTablePage(objRequest, objResponse, objServer, 0, default_data_source_, "");
    } else {
      view.WriteXMLPage(objRequest, objResponse, 3);
    }
  });
}

}  // namespace orvex::frontend
