#include <algorithm>
#include <optional>

#include <pugixml.hpp>

#include "api/api_calls.h"
#include "platform/com/com_error.h"
#include "platform/scripting/text_stream.h"
#include "platform/text.h"
#include "webfs/web_file_system.h"

namespace orvex::api {

namespace {

// The store as the classic pane uses it: the server's folder and limits.
WebFileSystem Store(const ApiContext& context) {
  WebFileSystem store;
  if (context.Options().configure_views) context.Options().configure_views(store);
  return store;
}

// Runs a store action, answering the store's own message with a status that
// says what went wrong: 404 for what is not there, 409 for a name in use, 403
// where the disk refuses, 400 for a name or limit the store refuses.
template <class Action>
auto WithStore(Action action) {
  try {
    return action();
  } catch (const ComError& error) {
    int status = 400;
    if (error.number() == errors::kFileNotFound || error.number() == errors::kPathNotFound) status = 404;
    if (error.number() == errors::kFileAlreadyExists) status = 409;
    if (error.number() == errors::kPermissionDenied) status = 403;
    throw ApiError(status, error.description());
  }
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) < std::tolower(y);
  });
}

// A body's text member that must be given.
std::string RequiredMember(const nlohmann::json& body, const std::string& name) {
  std::string value = TextMember(body, name);
  if (Trim(value).empty()) throw ApiError(400, "the body needs '" + name + "'");
  return value;
}

}  // namespace

void ViewsCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const std::string folder = OptionalParam(request, "folder");
  WebFileSystem store = Store(context);
  nlohmann::json folders = nlohmann::json::array();
  nlohmann::json views = nlohmann::json::array();
  WithStore([&] {
    scripting::Folder open = store.GetFolder(WebFileSystem::SplitFolderPath(folder));
    std::vector<std::string> folder_names;
    for (const scripting::Folder& subfolder : open.SubFolders()) folder_names.push_back(subfolder.Name());
    std::vector<std::string> view_names = ReadableViewNames(store, open);
    std::sort(folder_names.begin(), folder_names.end(), LessIgnoringCase);
    std::sort(view_names.begin(), view_names.end(), LessIgnoringCase);
    for (const std::string& name : folder_names) folders.push_back(name);
    for (const std::string& name : view_names) views.push_back(name);
  });
  response.body = nlohmann::json{{"folder", folder},
                                 {"folders", folders},
                                 {"views", views},
                                 {"limits",
                                  {{"maxFilesPerFolder", store.MaxFilesPerFolder()},
                                   {"maxFoldersPerFolder", store.MaxFoldersPerFolder()},
                                   {"maxFolderDepth", store.MaxFolderDepth()},
                                   {"maxNameLength", store.MaxNameLength()}}}}
                      .dump();
}

void ViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const std::string folder = OptionalParam(request, "folder");
  const std::string name = RequiredParam(request, "name");
  WebFileSystem store = Store(context);
  std::string xml = WithStore([&] {
    scripting::TextStream stream = store.GetFile(WebFileSystem::SplitFolderPath(folder), name).OpenAsTextStream();
    std::string text = stream.ReadAll();
    stream.Close();
    return text;
  });
  response.body = nlohmann::json{{"folder", folder}, {"name", Trim(name)}, {"xml", xml}}.dump();
}

void SaveViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const nlohmann::json body = BodyObject(request);
  const std::string folder = TextMember(body, "folder");
  const std::string name = RequiredMember(body, "name");
  const std::string xml = RequiredMember(body, "xml");
  bool overwrite = false;
  if (auto found = body.find("overwrite"); found != body.end() && !found->is_null()) {
    if (!found->is_boolean()) throw ApiError(400, "'overwrite' must be true or false");
    overwrite = found->get<bool>();
  }
  // What the store keeps must open again: a view definition, not any text.
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size()) || std::string(document.document_element().name()) != "cubeView") {
    throw ApiError(400, "'xml' is no view definition (a cubeView document)");
  }
  WebFileSystem store = Store(context);
  WithStore([&] { store.SaveFile(WebFileSystem::SplitFolderPath(folder), name, xml, overwrite); });
  response.body = nlohmann::json{{"folder", folder}, {"name", Trim(name)}, {"saved", true}}.dump();
}

void DeleteViewCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const nlohmann::json body = BodyObject(request);
  const std::string folder = TextMember(body, "folder");
  const std::string name = RequiredMember(body, "name");
  WebFileSystem store = Store(context);
  WithStore([&] { store.DeleteFile(WebFileSystem::SplitFolderPath(folder), name); });
  response.body = nlohmann::json{{"folder", folder}, {"name", Trim(name)}, {"deleted", true}}.dump();
}

void AddFolderCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const nlohmann::json body = BodyObject(request);
  const std::string folder = TextMember(body, "folder");
  const std::string name = RequiredMember(body, "name");
  WebFileSystem store = Store(context);
  WithStore([&] { store.AddFolder(WebFileSystem::SplitFolderPath(folder), name); });
  response.body = nlohmann::json{{"folder", folder}, {"name", Trim(name)}, {"added", true}}.dump();
}

void DeleteFolderCall(const ApiContext& context, const ApiRequest& request, ApiResponse& response) {
  const nlohmann::json body = BodyObject(request);
  const std::string folder = RequiredMember(body, "folder");
  WebFileSystem store = Store(context);
  WithStore([&] { store.DeleteFolder(WebFileSystem::SplitFolderPath(folder)); });
  response.body = nlohmann::json{{"folder", folder}, {"deleted", true}}.dump();
}

}  // namespace orvex::api
