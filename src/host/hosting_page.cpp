#include "host/hosting_page.h"

#include <map>

#include "errors/event_log.h"

#include "host/http_request.h"
#include "host/http_response.h"
#include "host/request_guard.h"

namespace orvex::host {

HostingPage::HostingPage(const ServerSettings& settings)
    : settings_(settings),
      server_(std::make_shared<asp::FolderServer>(settings.web_root)),
      application_(std::make_shared<asp::Application>()) {}

std::unique_ptr<frontend::Orvex> HostingPage::CreateOrvex() const {
  using Setter = void (frontend::Orvex::*)(int32_t);
  static const std::map<std::string, Setter> kSections = {
      {"data-source", &frontend::Orvex::SetDataSourceDisplayMode},
      {"catalog", &frontend::Orvex::SetCatalogDisplayMode},
      {"cube", &frontend::Orvex::SetCubeDisplayMode},
      {"measure", &frontend::Orvex::SetMeasureDisplayMode},
      {"axes", &frontend::Orvex::SetAxesDisplayMode},
      {"ranges", &frontend::Orvex::SetRangesDisplayMode},
      {"saved-views", &frontend::Orvex::SetSavedViewsDisplayMode},
  };
  auto orvex = std::make_unique<frontend::Orvex>();
  for (const std::string& section : settings_.hidden_sections) {
    if (auto found = kSections.find(section); found != kSections.end()) {
      ((*orvex).*(found->second))(frontend::dmHidden);
    }
  }
  orvex->SetDefaultDataSource(settings_.default_data_source);

  ApplyViewSettings(settings_, orvex->SavedViews());
  return orvex;
}

void ApplyViewSettings(const ServerSettings& settings, WebFileSystem& store) {
  if (settings.views_dir) store.SetRootFolderPath(settings.views_dir->string());
  if (settings.max_files_per_folder) store.SetMaxFilesPerFolder(*settings.max_files_per_folder);
  if (settings.max_folders_per_folder) store.SetMaxFoldersPerFolder(*settings.max_folders_per_folder);
  if (settings.max_folder_depth) store.SetMaxFolderDepth(*settings.max_folder_depth);
  if (settings.max_name_length) store.SetMaxNameLength(*settings.max_name_length);
  if (settings.file_extension) store.SetFileExtension(*settings.file_extension);
}

void HostingPage::Serve(const httplib::Request& request, httplib::Response& response) const {
  auto request_object = std::make_shared<HttpRequest>(request);
  if (IsStateChangingAction(*request_object) && IsCrossSite(request)) {
    // Another site's page could otherwise make a visitor's browser save or
    // delete views here. The explorer's own pane notices the refusal in its
    // hidden frame and says so in the page's language.
    EventLog().LogEvent("orvex-server: refused a saved-views action sent by another site (Origin '" +
                            request.get_header_value("Origin") + "', Sec-Fetch-Site '" +
                            request.get_header_value("Sec-Fetch-Site") + "')",
                        EventLog::kError);
    response.status = 403;
    response.set_content("403 Forbidden: saved views cannot be changed from another site\n",
                         "text/plain; charset=utf-8");
    return;
  }
  auto response_object = std::make_shared<HttpResponse>(response);
  response.status = 200;
  CreateOrvex()->WriteInterface(std::shared_ptr<ComObject>(request_object),
                                std::shared_ptr<ComObject>(response_object), std::shared_ptr<ComObject>(server_),
                                std::shared_ptr<ComObject>(application_));
  response_object->Finish();
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("X-Frame-Options", "SAMEORIGIN");
}

}  // namespace orvex::host
