#include "host/orvex_server.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "errors/event_log.h"
#include "host/connection_threads.h"
#include "host/engine_registration.h"
#include "host/request_guard.h"
#include "host/response_compression.h"
#include "platform/runtime/runtime.h"
#include "provider/connection.h"
#include "webfs/web_file_system.h"

namespace orvex::host {
namespace {

std::string StatusText(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 404: return "Not Found";
    case 403: return "Forbidden";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
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

// Connections served at once; more wait for a thread. Each costs a mostly
// sleeping thread with a small stack in use, so this is far above what one
// explorer server meets, and still bounded.
constexpr size_t kMaxConnections = 1024;
// A single read of a request's head or body waits this long; the library
// closes the connection after it. A kept-alive connection waits as long for
// its next request.
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 5;
constexpr size_t kKeepAliveRequests = 100;
// A body must arrive whole within this time, however steadily it drips.
constexpr auto kBodyDeadline = std::chrono::seconds(30);

// Holds one of the page slots while it lives.
class PageSlot {
 public:
  explicit PageSlot(std::counting_semaphore<>& slots) : slots_(slots) { slots_.acquire(); }
  ~PageSlot() { slots_.release(); }
  PageSlot(const PageSlot&) = delete;
  PageSlot& operator=(const PageSlot&) = delete;

 private:
  std::counting_semaphore<>& slots_;
};

// The body of a POST, read here rather than by the library: the library
// refuses form-encoded bodies above 8 KB whatever the limit, and a view
// definition of a few hundred rows is larger. The library still enforces the
// payload limit (answering 413) and each read's timeout; the whole body has
// a deadline too. Returns false, with the status set, when the body did not
// arrive whole.
bool ReadBody(const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& reader,
              httplib::Request& into) {
  const auto deadline = std::chrono::steady_clock::now() + kBodyDeadline;
  bool late = false;
  auto in_time = [&] {
    late = std::chrono::steady_clock::now() > deadline;
    return !late;
  };
  bool complete = false;
  if (request.is_multipart_form_data()) {
    auto current = into.files.end();
    complete = reader(
        [&](const httplib::MultipartFormData& part) {
          current = into.files.emplace(part.name, part);
          return in_time();
        },
        [&](const char* data, size_t length) {
          if (current != into.files.end()) current->second.content.append(data, length);
          return in_time();
        });
  } else {
    complete = reader([&](const char* data, size_t length) {
      into.body.append(data, length);
      return in_time();
    });
  }
  if (!complete && response.status < 400) response.status = late ? 408 : 400;
  return complete;
}

}  // namespace

namespace {

// Saves that a crash cut short leave their temporary files in the store's folders.
void RemoveInterruptedSaves(const ServerSettings& settings) {
  WebFileSystem store;
  ApplyViewSettings(settings, store);
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

std::string BindFailureReason(const std::string& address, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
    return "the address " + address + " is not one this machine can listen on";
  }
  std::string reason = "the reason is unknown";
  int probe = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (probe >= 0) {
    int yes = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(probe, found->ai_addr, found->ai_addrlen) != 0) {
      int error = errno;
      reason = error == EADDRINUSE ? "the port " + std::to_string(port) + " is in use by another program"
                                   : std::string(std::strerror(error));
    }
    ::close(probe);
  }
  ::freeaddrinfo(found);
  return reason;
}

std::string SitePrefixOf(const std::string& page) { return page.substr(0, page.rfind('/') + 1); }

OrvexServer::OrvexServer(ServerSettings settings)
    : settings_(std::move(settings)),
      files_(settings_.web_root, SitePrefixOf(settings_.page)),
      page_(settings_),
      page_slots_(settings_.threads),
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
  if (std::filesystem::is_directory(settings_.web_root / "explore")) {
    explore_files_.emplace(settings_.web_root / "explore", settings_.explore_path + "/");
  }
  if (settings_.users_file) users_.emplace(Users::Load(*settings_.users_file));
  if (settings_.xmla) {
    xmla::XmlaOptions options;
    options.provider_name = "Orvex";
    options.data_source_name = settings_.default_data_source.empty() ? "localhost" : settings_.default_data_source;
    options.url = settings_.xmla_path;
    xmla_ = std::make_unique<xmla::XmlaService>(std::move(options));
  }
  api::ApiOptions api_options;
  api_options.default_data_source = settings_.default_data_source.empty() ? "localhost" : settings_.default_data_source;
  for (const auto& [name, folder] : settings_.data_sources) api_options.data_sources.push_back(name);
  for (const auto& [name, definition] : settings_.xmla_data_sources) api_options.data_sources.push_back(name);
  api_options.configure_views = [this](WebFileSystem& store) { ApplyViewSettings(settings_, store); };
  api_ = std::make_unique<api::ApiService>(std::move(api_options));
  const size_t threads = static_cast<size_t>(settings_.threads);
  http_->new_task_queue = [threads] { return new ConnectionThreads(threads, kMaxConnections); };
  http_->set_payload_max_length(settings_.max_request_bytes);
  http_->set_read_timeout(kReadTimeoutSeconds, 0);
  http_->set_write_timeout(10, 0);
  http_->set_keep_alive_timeout(kKeepAliveSeconds);
  http_->set_keep_alive_max_count(kKeepAliveRequests);
  // Pages and small files go out in more than one write; without this each
  // reply would wait for the client's delayed acknowledgement.
  http_->set_tcp_nodelay(true);
  http_->set_socket_options([this](socket_t socket) {
    // SO_REUSEADDR only: the library's default adds SO_REUSEPORT, with which a
    // second server on the same port starts and the kernel splits the clients
    // between the two.
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening_socket_ = socket;
  });

  http_->Get(".*", [this](const httplib::Request& request, httplib::Response& response) { Route(request, response); });
  http_->Post(".*", [this](const httplib::Request& request, httplib::Response& response,
                           const httplib::ContentReader& reader) {
    httplib::Request whole = request;
    if (ReadBody(request, response, reader, whole)) Route(whole, response);
  });
  http_->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
    Answer(response, 500, StatusText(500));
  });
  http_->set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    if (response.body.empty() && !response.content_provider_) {
      std::string text = std::to_string(response.status) + " " + StatusText(response.status);
      if (response.status == 413) text += ": the request is larger than this server accepts";
      Answer(response, response.status, text);
    }
    // The library's own error replies are a line of text; they are given the budget of a quick page.
    SendCompressedWherePays(request, response, std::chrono::milliseconds(10));
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
    throw std::runtime_error("cannot listen on " + settings_.bind + ":" + std::to_string(settings_.port) + ": " +
                             BindFailureReason(settings_.bind, settings_.port));
  }
  // The library listens with a queue of five; a burst of connections (a
  // browser loading the frameset and its files, several users at once) would
  // overflow it and wait a second for the retry. Listening again enlarges it.
  if (listening_socket_ >= 0) ::listen(listening_socket_, SOMAXCONN);
  return port;
}

void OrvexServer::Listen() { http_->listen_after_bind(); }

void OrvexServer::Stop() { http_->stop(); }

void OrvexServer::Route(const httplib::Request& request, httplib::Response& response) {
  const auto start = std::chrono::steady_clock::now();
  PrepareThread();
  std::string role;
  if (users_) {
    std::optional<std::string> user = users_->Authenticate(request.get_header_value("Authorization"));
    if (!user) {
      // Every path alike: the pages, the files and the XMLA endpoint.
      response.set_header("WWW-Authenticate", "Basic realm=\"Orvex\", charset=\"UTF-8\"");
      Answer(response, 401, StatusText(401));
      return;
    }
    role = users_->RoleOf(*user);
  }
  // Whatever connection the request opens (pages and XMLA alike) runs under the user's role.
  provider::ScopedConnectionRole role_guard(role);
  if (xmla_ && request.path == settings_.xmla_path) {
    HandleXmla(request, response, role);
  } else if (request.path.rfind(settings_.api_path, 0) == 0) {
    HandleApi(request, response);
  } else if (request.path == settings_.page) {
    HandlePage(request, response);
  } else if (explore_files_ && (request.method == "GET" || request.method == "HEAD") &&
             (request.path == settings_.explore_path || request.path.starts_with(settings_.explore_path + "/"))) {
    HandleExplore(request, response);
  } else if (request.method == "GET" || request.method == "HEAD") {
    HandleFile(request, response);
  } else {
    Answer(response, 405, StatusText(405));
  }
  SendCompressedWherePays(request, response, std::chrono::steady_clock::now() - start);
}

void OrvexServer::HandlePage(const httplib::Request& request, httplib::Response& response) {
  PageSlot slot(page_slots_);
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

void OrvexServer::HandleXmla(const httplib::Request& request, httplib::Response& response, const std::string& role) {
  if (request.method != "POST") {
    response.set_header("Allow", "POST");
    Answer(response, 405, StatusText(405));
    return;
  }
  std::shared_ptr<xmla::XmlaReply> reply;
  {
    PageSlot slot(page_slots_);
    reply = xmla_->Handle(request.body, role);
  }
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

void OrvexServer::HandleApi(const httplib::Request& request, httplib::Response& response) {
  if (request.method == "POST" && IsCrossSite(request)) {
    Answer(response, 403, StatusText(403));
    return;
  }
  api::ApiRequest call;
  call.method = request.method;
  call.call = request.path.substr(settings_.api_path.size());
  for (const auto& [name, value] : request.params) call.params.emplace(name, value);
  call.body = request.body;
  api::ApiResponse answer;
  {
    PageSlot slot(page_slots_);
    answer = api_->Handle(call);
  }
  response.status = answer.status;
  for (const auto& [name, value] : answer.headers) response.set_header(name, value);
  response.set_header("Cache-Control", "no-store");
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_content(std::move(answer.body), answer.content_type);
}

namespace {

// The bytes of a file the site serves; none when it is missing or cannot be read.
std::optional<std::string> ReadServedFile(const std::optional<std::filesystem::path>& file) {
  if (!file) return std::nullopt;
  std::ifstream in(*file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in) return std::nullopt;
  return content.str();
}

void SendServedFile(httplib::Response& response, std::string body, const std::filesystem::path& file) {
  response.status = 200;
  response.set_content(std::move(body), ContentTypeOf(file));
  response.set_header("Cache-Control", "no-cache");
  response.set_header("X-Content-Type-Options", "nosniff");
}

}  // namespace

void OrvexServer::HandleFile(const httplib::Request& request, httplib::Response& response) const {
  std::optional<std::filesystem::path> file = files_.Resolve(request.path);
  std::optional<std::string> body = ReadServedFile(file);
  if (!body) {
    Answer(response, 404, StatusText(404));
    return;
  }
  SendServedFile(response, std::move(*body), *file);
}

void OrvexServer::HandleExplore(const httplib::Request& request, httplib::Response& response) const {
  const bool document = request.path == settings_.explore_path;
  std::optional<std::filesystem::path> file =
      document ? std::optional(explore_files_->Root() / "index.html") : explore_files_->Resolve(request.path);
  std::optional<std::string> body = ReadServedFile(file);
  if (!body) {
    Answer(response, 404, StatusText(404));
    return;
  }
  if (document) {
    // The document's assets are addressed relative to its base, which follows --explore-path.
    const std::string base = "<base href=\"/explore/\">";
    if (size_t at = body->find(base); at != std::string::npos) {
      body->replace(at, base.size(), "<base href=\"" + settings_.explore_path + "/\">");
    }
  }
  SendServedFile(response, std::move(*body), *file);
}

}  // namespace orvex::host
