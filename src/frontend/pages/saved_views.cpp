#include "errors/trail.h"
#include "html/general.h"
#include "frontend/orvex.h"
#include "platform/text.h"

namespace orvex::frontend {
namespace {

constexpr std::string_view kClass = "Orvex";

// A missing file or folder: the delete actions and the folder list take these
// as "already gone" rather than as failures.
bool IsNotFound(const ComError& error) {
  return error.number() == errors::kFileNotFound || error.number() == errors::kPathNotFound;
}

// The folder names of a path as forms and links carry it, joined with "/".
std::vector<std::string> FolderNames(std::string_view joined) {
  const Variant path = WebFileSystem::SplitFolderPath(joined);
  std::vector<std::string> names;
  for (const Variant& name : path.ToArray()) names.push_back(name.ToString());
  return names;
}

// The store's folder path made of the first `count` of `names`.
Variant FolderPath(const std::vector<std::string>& names, size_t count) {
  Variant::Array path(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count));
  return Variant(std::move(path));
}

// Writes the lines that post `xml` to the view body, which then shows the view it defines.
void WriteOpenView(PageWriter& page, const std::string& url, const std::string& xml) {
  page.Line("        <form name='frmViewAction' action=\"" + url + "?id=1\" target='viewBody' method='post'>");
  page.Line("            <input type='hidden' name='xml' value=\"" + HTMLEncode(xml) + "\"></input>");
  page.Line("        </form>");
  page.Line("        <script language='JavaScript'>");
  page.Line("            parent.defaultStatus = 'Loading...';");
  page.Line("            document.forms['frmViewAction'].submit();");
  page.Line("        </script>");
}

// Writes the options of the view list for the open folder `names` (one per
// readable view file), then sorts and redraws the lists and selects the
// posted folder and view.
void WriteViewOptions(PageWriter& page, const WebFileSystem& store, const std::vector<std::string>& names,
                      const std::string& folder, const std::string& view) {
  page.Line("                if(olbxView != null) {");
  // The folder was there a moment ago; should it vanish now, its view list is simply empty.
  std::vector<std::string> views;
  try {
    views = ReadableViewNames(store, store.GetFolder(FolderPath(names, names.size())));
  } catch (const ComError&) {
  }
  for (const std::string& name : views) {
    const std::string base = JavaScriptStringEncode(name);
    page.Line("                    objOption = createOption(wndParams.document, \"" + base + "\", \"" + base + "\");");
    page.Line("                    olbxView.options[olbxView.options.length] = objOption;");
  }
  page.Line("                    wndParams.sortOptions(olbxView);");
  page.Line("                }");
  page.Line("                wndParams.refreshListBoxes();");
  page.Line("                wndParams.selectValue(olbxFolder, \"" + JavaScriptStringEncode(folder) + "\", true);");
  page.Line("                wndParams.selectValue(olbxView, \"" + JavaScriptStringEncode(view) + "\", true);");
}

}  // namespace

// The hidden frame's page: carries out one saved-views action, shows its
// failure in an alert, and refills the pane's folder and view lists.
void Orvex::WriteSavedViews(const asp::Request& objRequest, asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteSavedViews");
  page.Do([&] { PreventCaching(objResponse); });
  page.Do([&] { WriteSniffer(objResponse); });
  page.Line("<html>");
  page.Line("    <head>");
  page.Line([] { return "        <title>" + HtmlText(2) + "</title>"; });
  page.Line("    </head>");
  page.Line("    <body>");
  page.Line("        <script language='JavaScript' src='js/General.js'></script>");
  page.Line("        <script language='JavaScript' src='js/ListBox.js'></script>");
  page.Line("        <script language='JavaScript' src='js/SavedViews.js'></script>");
  // A refused action is the user's to see, not the server's to log: the
  // message goes to an alert and the lists are rebuilt as for any post.
  page.Do([&] {
    try {
      PerformAction(objRequest, objResponse);
    } catch (const ComError& error) {
      if (error.description().empty()) return;
      page.Line("        <script language='JavaScript'>");
      page.Line("            alert(\"" + JavaScriptStringEncode(error.description()) + "\");");
      page.Line("        </script>");
    }
  });
  page.Line("        <script language='JavaScript'>");
  page.Do([&] { WriteJScriptPopulate(objRequest, objResponse); });
  page.Line("            populate();");
  page.Line("        </script>");
  page.Line("    </body>");
  page.Line("    <script language='JavaScript'>");
  page.Line("        resetWindow();");
  page.Line("    </script>");
  page.Line("</html>");
}

void Orvex::PerformAction(const asp::Request& objRequest, asp::Response& objResponse) {
  Trail(kClass, "PerformAction", [&] {
    const std::string action = ToLower(objRequest.Item("actionID").ToString());
    const Variant folder = WebFileSystem::SplitFolderPath(objRequest.Item("folder").ToString());
    WebFileSystem& store = *saved_views_;
    if (action == "open_view") {
      scripting::TextStream stream = store.GetFile(folder, objRequest.Item("view").ToString()).OpenAsTextStream();
      const std::string xml = stream.ReadAll();
      stream.Close();
      PageWriter page(objResponse);
      WriteOpenView(page, GetURL(objRequest), xml);
    } else if (action == "add_folder") {
      store.AddFolder(folder, objRequest.Form().Item("new_name").ToString());
    } else if (action == "save_view") {
      store.SaveFile(folder, objRequest.Form().Item("new_name").ToString(),
                     objRequest.Form().Item("view_xml").ToString(), false);
    } else if (action == "delete_folder" || action == "delete_view") {
      // What is already gone needs no deleting: a second click, or another
      // user who was quicker, is not worth an alert.
      try {
        if (action == "delete_folder") {
          store.DeleteFolder(folder);
        } else {
          store.DeleteFile(folder, objRequest.Item("view").ToString());
        }
      } catch (const ComError& error) {
        if (!IsNotFound(error)) throw;
      }
    }
  });
}

void Orvex::WriteJScriptPopulate(const asp::Request& objRequest, asp::Response& objResponse) {
  Trail(kClass, "WriteJScriptPopulate", [&] {
    const std::string folder = objRequest.Item("folder").ToString();
    const std::string view = objRequest.Item("view").ToString();
    const std::vector<std::string> names = FolderNames(folder);
    PageWriter page(objResponse);
    page.Line("            function populate() {");
    page.Line("                var wndParams = parent.paramsBody;");
    page.Line("                if(wndParams == null) return;");
    page.Line("                if(wndParams.handleParamChanges == null) return;");
    page.Line("                wndParams.handleParamChanges = false;");
    page.Line("                var ofrmInterface = wndParams.document.forms['frmInterface'];");
    page.Line("                var olbxFolder = ofrmInterface.elements['lbxFolder'];");
    page.Line("                var olbxView = ofrmInterface.elements['lbxView'];");
    page.Line("                if(olbxFolder != null) {");
    page.Line("                    var arrOptions = olbxFolder.options;");
    page.Line("                    while(arrOptions.length > 0) arrOptions[arrOptions.length - 1] = null;");
    page.Line("                }");
    page.Line("                if(olbxView != null) {");
    page.Line("                    arrOptions = olbxView.options;");
    page.Line("                    while(arrOptions.length > 0) arrOptions[arrOptions.length - 1] = null;");
    page.Line("                }");
    page.Line("                if(olbxFolder != null) {");
    page.Line("                    var objOption = createOption(wndParams.document, \"" + ScriptText(15) + "\", '');");
    page.Line("                    olbxFolder.options[0] = objOption;");
    bool listed = true;
    try {
      WriteSubFolders(objResponse, names, -1);
    } catch (const ComError& error) {
      listed = false;
      // A folder that is gone leaves the list at the root without a word;
      // anything else (a name the store refuses, say) is shown.
      if (!IsNotFound(error)) {
        page.Line("                    wndParams.refreshListBoxes();");
        page.Line("                    olbxFolder.selectedIndex = -1;");
        page.Line("                    alert(\"" + JavaScriptStringEncode(error.description()) + "\");");
      }
    }
    page.Line("                }");
    if (listed) WriteViewOptions(page, *saved_views_, names, folder, view);
    page.Line("                wndParams.handleParamChanges = true;");
    page.Line("            }");
  });
}

// Lists the subfolders of the folder made of the first lngDepth + 1 names (the
// root for -1), each followed by its own subfolders when it lies on the path
// `arrFolderNames`, so the list shows every folder on the way to the open one.
void Orvex::WriteSubFolders(asp::Response& objResponse, const std::vector<std::string>& arrFolderNames,
                            int32_t lngDepth) {
  Trail(kClass, "WriteSubFolders", [&] {
    // The open folder must exist: a missing one fails before any option is written.
    saved_views_->GetFolder(FolderPath(arrFolderNames, arrFolderNames.size()));
    const size_t prefix_length = lngDepth >= 0 ? static_cast<size_t>(lngDepth) + 1 : 0;
    std::string prefix;
    for (size_t index = 0; index < prefix_length; ++index) {
      prefix += (index == 0 ? "" : "/") + arrFolderNames[index];
    }
    const std::string indent = std::string(2 + 2 * prefix_length, ' ') + "> ";
    const int32_t last_index = static_cast<int32_t>(arrFolderNames.size()) - 1;
    PageWriter page(objResponse);
    for (const scripting::Folder& subfolder : saved_views_->GetFolder(FolderPath(arrFolderNames, prefix_length))
                                                  .SubFolders()) {
      const std::string name = subfolder.Name();
      const std::string path = prefix.empty() ? name : prefix + "/" + name;
      page.Line("                objOption = createOption(wndParams.document, \"" + indent +
                JavaScriptStringEncode(name) + "\", \"" + JavaScriptStringEncode(path) + "\");");
      page.Line("                olbxFolder.options[olbxFolder.options.length] = objOption;");
      if (lngDepth < last_index && EqualsIgnoreCase(name, arrFolderNames[prefix_length])) {
        WriteSubFolders(objResponse, arrFolderNames, lngDepth + 1);
      }
    }
  });
}

}  // namespace orvex::frontend
