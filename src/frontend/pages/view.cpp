#include "render/view.h"

#include "errors/trail.h"
#include "frontend/orvex.h"
#include "platform/text.h"

namespace orvex::frontend {

// The view body: a saved view when the request names one, else the view the
// request posts or names, written as the interactive table.
void Orvex::WriteView(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer) {
  Trail("Orvex", "WriteView", [&] {
    const std::string view_name = Trim(objRequest.Item("view").ToString());
    std::string definition;
    // The saved view is read before anything is written, so that a view that
    // cannot be opened leaves the page to the error message alone.
    if (!view_name.empty()) {
      const Variant folder = WebFileSystem::SplitFolderPath(Trim(objRequest.Item("folder").ToString()));
      scripting::TextStream stream = saved_views_->GetFile(folder, view_name).OpenAsTextStream();
      definition = stream.ReadAll();
      stream.Close();
    }
    WriteSniffer(objResponse);
    render::View view;
    view.WriteHTMLTablePage(objRequest, objResponse, objServer, 2, default_data_source_, definition);
  });
}

}  // namespace orvex::frontend
