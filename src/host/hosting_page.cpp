#include "host/hosting_page.h"

#include <map>

#include "host/http_request.h"
#include "host/http_response.h"

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

  WebFileSystem& store = orvex->SavedViews();
  if (settings_.views_dir) store.SetRootFolderPath(settings_.views_dir->string());
  if (settings_.max_files_per_folder) store.SetMaxFilesPerFolder(*settings_.max_files_per_folder);
  if (settings_.max_folders_per_folder) store.SetMaxFoldersPerFolder(*settings_.max_folders_per_folder);
  if (settings_.max_folder_depth) store.SetMaxFolderDepth(*settings_.max_folder_depth);
  if (settings_.max_name_length) store.SetMaxNameLength(*settings_.max_name_length);
  if (settings_.file_extension) store.SetFileExtension(*settings_.file_extension);
  return orvex;
}

void HostingPage::Serve(const httplib::Request& request, httplib::Response& response) const {
  auto request_object = std::make_shared<HttpRequest>(request);
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
