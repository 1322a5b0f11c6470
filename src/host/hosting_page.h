#pragma once
#include <httplib.h>

#include <memory>

#include "frontend/orvex.h"
#include "platform/asp/application.h"
#include "platform/asp/server.h"
#include "host/server_settings.h"

namespace orvex::host {

// Plays the hosting page: for every request to the page's path it creates one
// Orvex, applies the settings (the same for every request), and calls
// WriteInterface with hosting objects made from the HTTP request.
// Thread-safe: it holds only the settings, read by all requests at once.
// Gives a saved-views store the settings' root folder, limits and extension:
// the classic page and the JSON API share one store.
void ApplyViewSettings(const ServerSettings& settings, WebFileSystem& store);

class HostingPage {
 public:
  explicit HostingPage(const ServerSettings& settings);

  // A new Orvex configured from the settings: display modes, default data
  // source, and the saved-views store's root, limits and extension.
  std::unique_ptr<frontend::Orvex> CreateOrvex() const;

  // Writes the page for `request` into `response` (status 200). Pages go out
  // in UTF-8 and say so. A saved-views action that would change the store,
  // sent by another site's page, gets 403 instead.
  void Serve(const httplib::Request& request, httplib::Response& response) const;

 private:
  const ServerSettings& settings_;
  std::shared_ptr<asp::Server> server_;
  std::shared_ptr<asp::Application> application_;
};

}  // namespace orvex::host
