#include "errors/trail.h"
#include "frontend/orvex.h"

namespace orvex::frontend {

// Placeholders: the saved-views frame and its actions are written here once
// the saved-views store is connected; until then the hidden frame stays empty.
void Orvex::WriteSavedViews(const asp::Request& objRequest, asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteSavedViews");
}

void Orvex::PerformAction(const asp::Request& objRequest, asp::Response& objResponse) {
  Trail("Orvex", "PerformAction", [] {});
}

void Orvex::WriteJScriptPopulate(const asp::Request& objRequest, asp::Response& objResponse) {
  Trail("Orvex", "WriteJScriptPopulate", [] {});
}

void Orvex::WriteSubFolders(asp::Response& objResponse, const std::vector<std::string>& arrFolderNames,
                            int32_t lngDepth) {
  Trail("Orvex", "WriteSubFolders", [] {});
}

}  // namespace orvex::frontend
