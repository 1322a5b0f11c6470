#include "host/orvex_server.h"

#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "errors/event_log.h"
#include "host/engine_registration.h"
#include "platform/runtime/runtime.h"
#include "webfs/web_file_system.h"

namespace orvex::host {
namespace {

std::string StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 500: return "Internal Server Error";
    default: return "Error";
  }
}

void Answer(httplib::Response& response, int status, const std::string& text) {
  response.status = status;
  response.set_content(text + "\n", "text/plain; charset=utf-8");
}

}  // namespace

namespace {

// Saves that a crash cut short leave their temporary files in the store's folders.
void RemoveInterruptedSaves(const ServerSettings& settings) {
  WebFileSystem store;
  if (settings.views_dir) store.SetRootFolderPath(settings.views_dir->string());
  try {
    if (int removed = store.RemoveInterruptedSaves(); removed > 0) {
      EventLog().LogEvent("Removed " + std::to_string(removed) + " temporary files of interrupted saves from " +
                              store.RootFolderPath(),
                          EventLog::kInformation);
    }
  } catch (const ComError& error) {
    EventLog().LogEvent(std::string("Temporary files of interrupted saves not removed: ") + error.description(),
                        EventLog::kError);
  }
}

}  // namespace

std::string SitePrefixOf(const std::string& page) { return page.substr(0, page.rfind('/') + 1); }

OrvexServer::OrvexServer(ServerSettings settings)
    : settings_(std::move(settings)),
      files_(settings_.web_root, SitePrefixOf(settings_.page)),
      page_(settings_),
      http_(std::make_unique<httplib::Server>()) {
  if (settings_.locale) runtime::SetDefaultLocale(*settings_.locale);
  RegisterEngine(settings_);
  EventLog::SetMaxBytes(settings_.event_log_max_bytes);
  if (settings_.views_dir) {
    // A store whose root is missing would fail every saved-views action; make it now or refuse to start.
    std::error_code error;
    std::filesystem::create_directories(*settings_.views_dir, error);
    if (error) {
      throw std::runtime_error("cannot create the saved-views folder " + settings_.views_dir->string() + ": " +
                               error.message());
    }
  }
  RemoveInterruptedSaves(settings_);
  if (settings_.users_file) users_.emplace(Users::Load(*settings_.users_file));
  if (settings_.xmla) {
    xmla::XmlaOptions options;
    options.provider_name = "Orvex";
    options.data_source_name = settings_.default_data_source.empty() ? "localhost" : settings_.default_data_source;
    options.url = settings_.xmla_path;
    xmla_ = std::make_unique<xmla::XmlaService>(std::move(options));
  }
  const int threads = settings_.threads;
  http_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  http_->set_payload_max_length(settings_.max_request_bytes);
  http_->set_read_timeout(10, 0);
  http_->set_write_timeout(10, 0);
  http_->set_keep_alive_max_count(100);
  // Pages and small files go out in more than one write; without this each
  // reply would wait for the client's delayed acknowledgement.
  http_->set_tcp_nodelay(true);
  http_->set_socket_options([this](socket_t socket) {
    httplib::default_socket_options(socket);
    listening_socket_ = socket;
  });

  auto route = [this](const httplib::Request& request, httplib::Response& response) {
    PrepareThread();
    if (users_ && !users_->Authenticate(request.get_header_value("Authorization"))) {
      // Every path alike: the pages, the files and the XMLA endpoint.
      response.set_header("WWW-Authenticate", "Basic realm=\"Orvex\", charset=\"UTF-8\"");
      Answer(response, 401, StatusText(401));
      return;
    }
    if (xmla_ && request.path == settings_.xmla_path) {
      HandleXmla(request, response);
    } else if (request.path == settings_.page) {
      HandlePage(request, response);
    } else if (request.method == "GET" || request.method == "HEAD") {
      HandleFile(request, response);
    } else {
      Answer(response, 405, StatusText(405));
    }
  };
  http_->Get(".*", route);
  http_->Post(".*", route);
  http_->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    Answer(response, 500, StatusText(500));
  });
  http_->set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty()) {
      Answer(response, response.status, std::to_string(response.status) + " " + StatusText(response.status));
    }
  });
}

OrvexServer::~OrvexServer() = default;

void OrvexServer::PrepareThread() const {
  if (settings_.locale) runtime::SetThreadLocale(*settings_.locale);
}

int OrvexServer::Bind() {
  int port = settings_.port == 0 ? http_->bind_to_any_port(settings_.bind)
                                 : (http_->bind_to_port(settings_.bind, settings_.port) ? settings_.port : -1);
  if (port < 0) {
    throw std::runtime_error("cannot listen on " + settings_.bind + ":" + std::to_string(settings_.port));
  }
  // The library listens with a queue of five; a burst of connections (a
  // browser loading the frameset and its files, several users at once) would
  // overflow it and wait a second for the retry. Listening again enlarges it.
  if (listening_socket_ >= 0) ::listen(listening_socket_, SOMAXCONN);
  return port;
}

void OrvexServer::Listen() { http_->listen_after_bind(); }

void OrvexServer::Stop() { http_->stop(); }

void OrvexServer::HandlePage(const httplib::Request& request, httplib::Response& response) const {
  try {
    page_.Serve(request, response);
  } catch (const std::exception& error) {
    // WriteInterface shows page errors itself; what arrives here is a failure
    // of the host or a rejected hosting object.
    EventLog().LogEvent(std::string("orvex-server: ") + error.what(), EventLog::kError);
    response.body.clear();
    Answer(response, 500, StatusText(500));
  }
}

void OrvexServer::HandleXmla(const httplib::Request& request, httplib::Response& response) const {
  if (request.method != "POST") {
    response.set_header("Allow", "POST");
    Answer(response, 405, StatusText(405));
    return;
  }
  std::shared_ptr<xmla::XmlaReply> reply = xmla_->Handle(request.body);
  response.status = reply->Status();
  if (response.status != 200) {
    // A refusal is small; as a body it also keeps the error handler from putting its own text in its place.
    response.set_content(xmla::XmlaService::WriteToString(*reply), "text/xml; charset=utf-8");
    return;
  }
  // Written straight to the socket in pieces, so a large cell set never sits whole in memory.
  response.set_chunked_content_provider("text/xml; charset=utf-8", [reply](size_t, httplib::DataSink& sink) {
    try {
      reply->Write([&sink](std::string_view piece) { return sink.write(piece.data(), piece.size()); });
    } catch (const std::exception& error) {
      EventLog().LogEvent(std::string("orvex-server: XMLA answer cut short: ") + error.what(), EventLog::kError);
      return false;
    }
    sink.done();
    return true;
  });
}

void OrvexServer::HandleFile(const httplib::Request& request, httplib::Response& response) const {
  std::optional<std::filesystem::path> file = files_.Resolve(request.path);
  if (!file) {
    Answer(response, 404, StatusText(404));
    return;
  }
  std::ifstream in(*file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in) {
    Answer(response, 404, StatusText(404));
    return;
  }
  response.status = 200;
  response.set_content(content.str(), ContentTypeOf(*file));
  response.set_header("Cache-Control", "no-cache");
  response.set_header("X-Content-Type-Options", "nosniff");
}

}  // namespace orvex::host
