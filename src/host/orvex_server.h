#pragma once
#include <httplib.h>

#include <memory>
#include <optional>
#include <semaphore>

#include "host/hosting_page.h"
#include "host/server_settings.h"
#include "host/static_files.h"
#include "host/users.h"
#include "api/api_service.h"
#include "xmla/xmla_service.h"

namespace orvex::host {

// orvex-server: the hosting page at its path, the static files of the web
// root everywhere else, and the XML for Analysis endpoint at its own path.
// Each connection has a thread of its own (see ConnectionThreads) and at
// most --threads pages are written at once. Requests whose body is larger
// than the limit get 413, in either form encoding; a state-changing
// saved-views action sent by another site gets 403; anything that is neither
// the page nor a file gets 404. An error that escapes a page is logged and
// answered with 500.
class OrvexServer {
 public:
  // Throws std::runtime_error when the web root is not a folder or the users file cannot be used.
  explicit OrvexServer(ServerSettings settings);
  ~OrvexServer();
  OrvexServer(const OrvexServer&) = delete;
  OrvexServer& operator=(const OrvexServer&) = delete;

  // Binds to the address and port of the settings (port 0: a free one) and
  // returns the port; throws std::runtime_error when it cannot.
  int Bind();
  // Serves until Stop(); call after Bind().
  void Listen();
  // Stops a Listen() on another thread; safe to call from any thread.
  void Stop();

 private:
  void Route(const httplib::Request& request, httplib::Response& response);
  void HandlePage(const httplib::Request& request, httplib::Response& response);
  // A SOAP request to the XML for Analysis endpoint; the answer is streamed.
  // `role`: the signed-in user's, "" for none.
  void HandleXmla(const httplib::Request& request, httplib::Response& response, const std::string& role);
  // A call of the JSON API; state-changing calls from another site get 403.
  void HandleApi(const httplib::Request& request, httplib::Response& response);
  void HandleFile(const httplib::Request& request, httplib::Response& response) const;
  // The analyst's page at its path, and its files below it.
  void HandleExplore(const httplib::Request& request, httplib::Response& response) const;
  // Sets the worker thread's locale when the settings fix one.
  void PrepareThread() const;

  ServerSettings settings_;
  StaticFiles files_;
  std::optional<StaticFiles> explore_files_;  // unset when the web root has no explore/ folder
  HostingPage page_;
  // Pages at once: slots are taken by the page's thread for its writing only,
  // never while a client is slow to send or to read.
  std::counting_semaphore<> page_slots_;
  std::unique_ptr<xmla::XmlaService> xmla_;  // null with --no-xmla
  std::unique_ptr<api::ApiService> api_;
  std::optional<Users> users_;               // set with --users
  std::unique_ptr<httplib::Server> http_;
  int listening_socket_ = -1;  // set while binding
};

// Why a bind failed, for the user: "the port is in use", or the system's text.
std::string BindFailureReason(const std::string& address, int port);

// The folder part of a page path, which static files appear under: "/" for
// "/" and "/explorer", "/orvex/" for "/orvex/explorer".
std::string SitePrefixOf(const std::string& page);

}  // namespace orvex::host
