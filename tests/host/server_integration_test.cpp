// Starts orvex-server on a free loopback port and talks HTTP to it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/page_compare.h"
#include "support/server_process.h"

extern char** environ;

namespace orvex {
namespace {

namespace fs = std::filesystem;

struct Reply {
  int status = 0;
  std::string headers;  // lower-cased
  std::string body;
};

// A loopback connection to `port`, or -1.
int Connect(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends `request` as it is (so that paths reach the server unnormalised) and
// reads the reply until the server closes the connection.
Reply Send(int port, const std::string& request) {
  Reply reply;
  int fd = Connect(port);
  if (fd < 0) return reply;
  // A server that never answers fails the test instead of hanging it.
  timeval timeout{15, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  for (size_t sent = 0; sent < request.size();) {
    ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  std::string text;
  char buffer[8192];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  size_t head_end = text.find("\r\n\r\n");
  if (text.rfind("HTTP/1.1 ", 0) != 0 || head_end == std::string::npos) return reply;
  reply.status = std::stoi(text.substr(9, 3));
  reply.headers = text.substr(0, head_end);
  for (char& c : reply.headers) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  reply.body = text.substr(head_end + 4);
  return reply;
}

Reply Get(int port, const std::string& target, const std::string& headers = "") {
  return Send(port, "GET " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                        "\r\nConnection: close\r\n" + headers + "\r\n");
}

// A POST of `body` (of `type`) to `target`, with extra header lines.
Reply Post(int port, const std::string& target, const std::string& type, const std::string& body,
           const std::string& headers = "") {
  return Send(port, "POST " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                        "\r\nConnection: close\r\nContent-Type: " + type +
                        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body);
}


// One orvex-server process over a copy of the site, with a symbolic link in
// it that leads out of the web root.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> extra_arguments)
      : dir_(fs::temp_directory_path() / ("orvex-server-test-" + std::to_string(::getpid()) + "-" +
                                          std::to_string(++instances_))) {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::copy(fs::path(ORVEX_SOURCE_DIR) / "web", web_root(), fs::copy_options::recursive);
    std::ofstream(dir_ / "secret.txt") << "secret";
    fs::create_directory_symlink(dir_, web_root() / "leak");

    std::vector<std::string> arguments = {"--port", "0", "--web-root", web_root().string(), "--views-dir",
                                          dir_.string()};
    arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
    port_ = testing::SpawnServer(arguments, pid_);
  }

  ~ServerProcess() {
    Stop();
    fs::remove_all(dir_);
  }

  // Stops the server as Ctrl-C would and returns its exit status; -1 when
  // it had to be killed because it did not end within ten seconds.
  int Stop() {
    if (pid_ <= 0) return exit_status_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int wait = 0; wait < 200 && !ended; ++wait) {
      ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    exit_status_ = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_status_;
  }

  int port() const { return port_; }
  fs::path web_root() const { return dir_ / "web"; }
  fs::path views_dir() const { return dir_; }

 private:
  static inline int instances_ = 0;
  fs::path dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exit_status_ = -1;
};

class ServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new ServerProcess({"--lang", "en", "--max-request-size", "4096"}); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static int port() { return server_->port(); }
  static ServerProcess* server_;
};

ServerProcess* ServerTest::server_ = nullptr;

TEST_F(ServerTest, ServesTheFramesetAndThePageChrome) {
  ASSERT_GT(port(), 0);
  Reply frameset = Get(port(), "/?view=My%20View&folder=a/b");
  EXPECT_EQ(frameset.status, 200);
  EXPECT_NE(frameset.headers.find("content-type: text/html; charset=utf-8"), std::string::npos);
  EXPECT_NE(frameset.body.find("<frame name='header' frameborder='yes' marginheight='0' marginwidth='0' "
                               "src=\"/?id=7\" scrolling='no' noresize>\n"),
            std::string::npos)
      << frameset.body;
  EXPECT_NE(frameset.body.find("&folder=a%2Fb&view=My%20View\" scrolling='auto'>\n"), std::string::npos);

  const std::pair<std::string, std::string> pages[] = {
      {"/?id=4", "src='js/ParametersHeader.js'"},
      {"/?id=6", "<form name='frmSnapshot' action=\"/?id=2\" method='post' target='_blank'>"},
      {"/?id=7", "target='help'>Need help?</a></td>\n"},
  };
  for (const auto& [target, line] : pages) {
    SCOPED_TRACE(target);
    Reply reply = Get(port(), target);
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find(line), std::string::npos) << reply.body;
    EXPECT_TRUE(reply.body.ends_with("</html>\n"));
  }
}

TEST_F(ServerTest, ServesStaticFilesWithTheirTypes) {
  const std::pair<std::string, std::string> files[] = {
      {"/styles/default.css", "content-type: text/css; charset=utf-8"},
      {"/js/BrowserSniffer.js", "content-type: text/javascript; charset=utf-8"},
      {"/images/sync.gif", "content-type: image/gif"},
      {"/help_NL/default.htm", "content-type: text/html; charset=utf-8"},
  };
  for (const auto& [target, type] : files) {
    SCOPED_TRACE(target);
    Reply reply = Get(port(), target);
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.headers.find(type), std::string::npos) << reply.headers;
    EXPECT_EQ(reply.body, test::ReadTextFile(server_->web_root() / target.substr(1)));
  }
}

TEST_F(ServerTest, NeverServesAPathOutsideTheWebRoot) {
  const std::string targets[] = {
      "/../secret.txt",
      "/../../../../etc/passwd",
      "/%2e%2e/secret.txt",
      "/%2E%2E%2Fsecret.txt",
      "/js/..%2f..%2fsecret.txt",
      "/js/%2e%2e/%2e%2e/secret.txt",
      "/%252e%252e/secret.txt",
      "/..%5csecret.txt",
      "//etc/passwd",
      "/leak/secret.txt",
      "/secret.txt%00.gif",
      "/js",
      "/no/such/file.htm",
      "http://localhost/../secret.txt",
  };
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    Reply reply = Get(port(), target);
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body.find("secret"), std::string::npos);
    EXPECT_EQ(reply.body.find("root:"), std::string::npos);
  }
}

TEST_F(ServerTest, TakesMalformedInputAsText) {
  Reply reply = Get(port(), "/?id=%zz&data_source=%&cube=%3Cscript%3E&&=&id");
  EXPECT_EQ(reply.status, 200);
  EXPECT_NE(reply.body.find("?id=1&data_source=%25&provider=&catalog=&cube=%3Cscript%3E&"), std::string::npos)
      << reply.body;
  EXPECT_EQ(reply.body.find("<script>"), std::string::npos);
  // A form post to the page works like a query string.
  std::string form = "data_source=Sales+%26+Stock";
  Reply posted = Send(port(), "POST / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
                              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                  std::to_string(form.size()) + "\r\n\r\n" + form);
  EXPECT_EQ(posted.status, 200);
  EXPECT_NE(posted.body.find("data_source=Sales%20%26%20Stock&"), std::string::npos);
}

TEST_F(ServerTest, RefusesBodiesAboveTheLimit) {
  std::string body(8000, 'x');
  Reply reply = Send(port(), "POST /?id=1 HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_EQ(reply.status, 413);
  Reply after = Get(port(), "/?id=7");
  EXPECT_EQ(after.status, 200);
}

TEST_F(ServerTest, AnswersManyRequestsAtOnce) {
  const std::string expected = Get(port(), "/?id=6").body;
  ASSERT_FALSE(expected.empty());
  std::vector<std::thread> clients;
  std::vector<int> wrong(12, 0);
  for (size_t client = 0; client < wrong.size(); ++client) {
    clients.emplace_back([&, client] {
      for (int request = 0; request < 20; ++request) {
        Reply reply = Get(port(), request % 2 ? "/?id=6" : "/js/General.js");
        if (reply.status != 200 || (request % 2 && reply.body != expected)) ++wrong[client];
      }
    });
  }
  for (auto& client : clients) client.join();
  for (size_t client = 0; client < wrong.size(); ++client) EXPECT_EQ(wrong[client], 0) << "client " << client;
}

TEST(ServerLanguageTest, LangNlGivesDutchPagesAndStopsCleanly) {
  ServerProcess server({"--lang", "nl", "--page", "/orvex/explorer", "--hide", "axes"});
  ASSERT_GT(server.port(), 0);
  Reply header = Get(server.port(), "/orvex/explorer?id=7");
  EXPECT_EQ(header.status, 200);
  EXPECT_NE(header.body.find("<a href='help_NL/default.htm' target='help'>Help?</a>"), std::string::npos);
  Reply frameset = Get(server.port(), "/orvex/explorer");
  EXPECT_NE(frameset.body.find("src=\"/orvex/explorer?id=4\""), std::string::npos);
  EXPECT_EQ(Get(server.port(), "/orvex/js/General.js").status, 200);
  EXPECT_EQ(Get(server.port(), "/js/General.js").status, 404);
  EXPECT_EQ(Get(server.port(), "/").status, 404);
  EXPECT_EQ(server.Stop(), 0);
}

// The analyst's page is one document at its own path, its files below that
// path; the document's base follows the path, and nothing leaves its folder.
TEST(ServerExploreTest, ServesTheAnalystsPageAtItsPathWithItsFilesBelowIt) {
  struct Case {
    std::vector<std::string> arguments;
    std::string path;
  };
  for (const Case& one : {Case{{}, "/explore"}, Case{{"--explore-path", "/team/pivot"}, "/team/pivot"}}) {
    SCOPED_TRACE(one.path);
    ServerProcess server(one.arguments);
    ASSERT_GT(server.port(), 0);
    Reply document = Get(server.port(), one.path);
    EXPECT_EQ(document.status, 200);
    EXPECT_NE(document.headers.find("content-type: text/html"), std::string::npos);
    EXPECT_NE(document.body.find("<base href=\"" + one.path + "/\">"), std::string::npos);
    EXPECT_EQ(document.body.find("<frame"), std::string::npos);
    Reply script = Get(server.port(), one.path + "/js/app.js");
    EXPECT_EQ(script.status, 200);
    EXPECT_NE(script.headers.find("content-type: text/javascript"), std::string::npos);
    EXPECT_EQ(script.body, test::ReadTextFile(server.web_root() / "explore" / "js" / "app.js"));
    for (const std::string& refused : {one.path + "/../secret.txt", one.path + "/%2e%2e/secret.txt",
                                       one.path + "/missing.js", one.path + "x"}) {
      SCOPED_TRACE(refused);
      EXPECT_EQ(Get(server.port(), refused).status, 404);
    }
    // The classic explorer stays where it was.
    EXPECT_NE(Get(server.port(), "/").body.find("<frame "), std::string::npos);
  }
}

// A stop asked for the moment the server has said where it serves, before
// its accept loop may have begun, still ends it.
TEST(ServerStopTest, AStopRightAfterStartEndsTheServer) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    SCOPED_TRACE(attempt);
    ServerProcess server({});
    ASSERT_GT(server.port(), 0);
    EXPECT_EQ(server.Stop(), 0);
  }
}

TEST(ServerViewsFolderTest, AMissingSavedViewsFolderIsMadeAtStart) {
  fs::path views = fs::temp_directory_path() / ("orvex-views-" + std::to_string(::getpid())) / "nested" / "views";
  fs::remove_all(views.parent_path().parent_path());
  {
    ServerProcess server({"--views-dir", views.string()});
    ASSERT_GT(server.port(), 0);
    EXPECT_TRUE(fs::is_directory(views));
    Reply frame = Get(server.port(), "/?id=3");
    EXPECT_EQ(frame.status, 200);
    EXPECT_EQ(frame.body.find("alert("), std::string::npos) << frame.body;
  }
  fs::remove_all(views.parent_path().parent_path());
}

// Runs orvex-server to its end with `arguments`; gives its exit status and what it wrote to standard error.
std::pair<int, std::string> RunServerToEnd(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), std::string(ORVEX_BINARY_DIR) + "/bin/orvex-server");
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int err[2];
  if (::pipe(err) != 0) return {-1, ""};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(err[0]);
    return {-1, ""};
  }
  // A server that does start (the fault this guards against) is stopped after ten seconds.
  int status = 0;
  bool ended = false;
  for (int wait = 0; wait < 100 && !ended; ++wait) {
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  ::close(err[0]);
  return {ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

std::string Gunzip(const std::string& packed) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return "";
  std::string out;
  char buffer[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  for (int result = Z_OK; result == Z_OK;) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return out;
}

// "a=1&b=2" with every byte of the values percent-encoded but letters and digits.
std::string FormEncoded(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string text;
  for (const auto& [name, value] : fields) {
    if (!text.empty()) text += '&';
    text += name + '=';
    for (char c : value) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
      text += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string(hex);
    }
  }
  return text;
}

std::string Multipart(const std::vector<std::pair<std::string, std::string>>& fields, const std::string& boundary) {
  std::string text;
  for (const auto& [name, value] : fields) {
    text += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
  }
  return text + "--" + boundary + "--\r\n";
}

// A view definition of `rows` members: far above the 8 KB at which form bodies used to be refused.
std::string LargeDefinition(int rows) {
  std::string set;
  for (int row = 0; row < rows; ++row) set += "<t><m>[Store].[Store " + std::to_string(row) + "]</m></t>";
  return "<cubeView><dataSource provider=\"MSOLAP\">localhost</dataSource><catalog>Sample</catalog><cube>Sales</cube>"
         "<measure>Unit Sales</measure><ranges/><axes><axis><set>" + set + "</set></axis></axes></cubeView>";
}

bool SavedViewHolds(const fs::path& folder, const std::string& name, const std::string& text) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().stem() == name) return test::ReadTextFile(entry.path()).find(text) != std::string::npos;
  }
  return false;
}

TEST(ServerBodyTest, LargeFormsAreTakenInBothEncodingsUpToTheLimit) {
  ServerProcess server({"--lang", "en", "--max-request-size", "200000"});
  ASSERT_GT(server.port(), 0);
  const std::string definition = LargeDefinition(1500);
  ASSERT_GT(definition.size(), 40'000u);
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"actionID", "save_view"}, {"folder", ""}, {"new_name", "Wide"}, {"view_xml", definition}};
  Reply urlencoded = Post(server.port(), "/?id=3", "application/x-www-form-urlencoded", FormEncoded(fields));
  EXPECT_EQ(urlencoded.status, 200) << urlencoded.body.substr(0, 300);
  EXPECT_EQ(urlencoded.body.find("alert("), std::string::npos) << urlencoded.body;
  EXPECT_TRUE(SavedViewHolds(server.views_dir(), "Wide", "[Store].[Store 1499]"));

  auto multipart_fields = fields;
  multipart_fields[2].second = "Wider";
  Reply multipart = Post(server.port(), "/?id=3", "multipart/form-data; boundary=b0undary",
                         Multipart(multipart_fields, "b0undary"));
  EXPECT_EQ(multipart.status, 200) << multipart.body.substr(0, 300);
  EXPECT_TRUE(SavedViewHolds(server.views_dir(), "Wider", "[Store].[Store 1499]"));

  // Above the limit: refused with a status the explorer's pane tells the user about, in either encoding.
  const std::string huge = LargeDefinition(8000);
  multipart_fields[2].second = "Huge";
  multipart_fields[3].second = huge;
  Reply too_large = Post(server.port(), "/?id=3", "multipart/form-data; boundary=b0undary",
                         Multipart(multipart_fields, "b0undary"));
  EXPECT_EQ(too_large.status, 413);
  EXPECT_EQ(too_large.body.rfind("413", 0), 0u) << too_large.body;
  EXPECT_EQ(Post(server.port(), "/?id=3", "application/x-www-form-urlencoded",
                 FormEncoded({{"actionID", "save_view"}, {"new_name", "Huge"}, {"view_xml", huge}}))
                .status,
            413);
  EXPECT_FALSE(SavedViewHolds(server.views_dir(), "Huge", ""));
}

TEST(ServerCrossSiteTest, SavedViewsChangeOnlyForTheServersOwnPages) {
  ServerProcess server({"--lang", "en"});
  ASSERT_GT(server.port(), 0);
  const std::string own = "http://localhost:" + std::to_string(server.port());
  auto save = [&](const std::string& name, const std::string& headers) {
    return Post(server.port(), "/?id=3", "application/x-www-form-urlencoded",
                FormEncoded({{"actionID", "save_view"}, {"folder", ""}, {"new_name", name},
                             {"view_xml", LargeDefinition(2)}}),
                headers);
  };
  struct Case {
    std::string name;
    std::string headers;
    int status;
  };
  const Case cases[] = {
      {"Foreign", "Origin: http://evil.example\r\n", 403},
      {"ForeignFetch", "Sec-Fetch-Site: cross-site\r\nOrigin: " + own + "\r\n", 403},
      {"Sandboxed", "Origin: null\r\n", 403},
      {"Own", "Origin: " + own + "\r\nSec-Fetch-Site: same-origin\r\n", 200},
      {"OwnOrigin", "Origin: " + own + "\r\n", 200},
      {"OldClient", "", 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reply reply = save(c.name, c.headers);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(SavedViewHolds(server.views_dir(), c.name, "Store 1"), c.status == 200);
  }
  // By GET as well: a link on another site cannot delete, the explorer's own page can.
  Reply foreign = Get(server.port(), "/?id=3&actionID=delete_view&folder=&view=Own",
                      "Sec-Fetch-Site: cross-site\r\n");
  EXPECT_EQ(foreign.status, 403);
  EXPECT_TRUE(SavedViewHolds(server.views_dir(), "Own", "Store 1"));
  // Listing and opening change nothing and stay open to all.
  EXPECT_EQ(Get(server.port(), "/?id=3&actionID=open_view&folder=&view=Own", "Sec-Fetch-Site: cross-site\r\n").status,
            200);
  Reply deleted = Get(server.port(), "/?id=3&actionID=delete_view&folder=&view=Own", "Sec-Fetch-Site: same-origin\r\n");
  EXPECT_EQ(deleted.status, 200);
  EXPECT_FALSE(SavedViewHolds(server.views_dir(), "Own", "Store 1"));
}

TEST(ServerCompressionTest, RepliesAreGzippedFastOrSentAsTheyAre) {
  ServerProcess server({"--lang", "en"});
  ASSERT_GT(server.port(), 0);
  for (const std::string target : {"/?id=5", "/js/Parameters.js"}) {
    SCOPED_TRACE(target);
    Reply plain = Get(server.port(), target);
    ASSERT_EQ(plain.status, 200);
    ASSERT_GT(plain.body.size(), 1024u);
    EXPECT_EQ(plain.headers.find("content-encoding"), std::string::npos);
    Reply gzipped = Get(server.port(), target, "Accept-Encoding: gzip, deflate, br\r\n");
    EXPECT_NE(gzipped.headers.find("content-encoding: gzip"), std::string::npos) << gzipped.headers;
    EXPECT_EQ(Gunzip(gzipped.body), plain.body);
    // A client that takes only brotli gets the reply as it is, never brotli at its slowest setting.
    Reply brotli_only = Get(server.port(), target, "Accept-Encoding: br\r\n");
    EXPECT_EQ(brotli_only.headers.find("content-encoding"), std::string::npos) << brotli_only.headers;
    EXPECT_EQ(brotli_only.body, plain.body);
  }
}

TEST(ServerPortTest, APortInUseStopsASecondServerWithAMessage) {
  ServerProcess first({});
  ASSERT_GT(first.port(), 0);
  auto [status, message] = RunServerToEnd({"--port", std::to_string(first.port()), "--web-root",
                                           first.web_root().string()});
  EXPECT_NE(status, 0);
  EXPECT_NE(message.find("cannot listen on 127.0.0.1:" + std::to_string(first.port()) + ": the port " +
                         std::to_string(first.port()) + " is in use by another program"),
            std::string::npos)
      << message;
  EXPECT_EQ(Get(first.port(), "/?id=7").status, 200);
}

TEST(ServerErrorTextTest, PagesNameTheCatalogNeverWhereItsDataIs) {
  fs::path catalogs = fs::temp_directory_path() / ("orvex-broken-catalogs-" + std::to_string(::getpid()));
  fs::remove_all(catalogs);
  fs::create_directories(catalogs / "Broken");
  fs::copy_file(fs::path(ORVEX_SOURCE_DIR) / "data/catalogs/Sample/schema.xml", catalogs / "Broken/schema.xml");
  std::ofstream(catalogs / "Broken/data.duckdb") << "not a database";
  fs::path log = catalogs / "events.log";
  ::setenv("ORVEX_EVENT_LOG", log.c_str(), 1);
  {
    ServerProcess server({"--lang", "en", "--catalogs", catalogs.string()});
    ASSERT_GT(server.port(), 0);
    std::string definition =
        "<cubeView><dataSource provider=\"MSOLAP\">localhost</dataSource><catalog>Broken</catalog><cube>Sales</cube>"
        "<measure>Unit Sales</measure><ranges/><axes/></cubeView>";
    Reply page = Post(server.port(), "/?id=1", "application/x-www-form-urlencoded", FormEncoded({{"xml", definition}}));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("The catalog 'Broken'"), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("The event log has the details."), std::string::npos) << page.body;
    EXPECT_EQ(page.body.find(catalogs.string()), std::string::npos) << page.body;
    EXPECT_EQ(page.body.find("duckdb"), std::string::npos) << page.body;
  }
  ::unsetenv("ORVEX_EVENT_LOG");
  EXPECT_NE(test::ReadTextFile(log).find((catalogs / "Broken").string()), std::string::npos);
  fs::remove_all(catalogs);
}

TEST(ServerHighlightTest, AHighlightOutOfRangeIsNoHighlight) {
  ServerProcess server({"--lang", "en"});
  ASSERT_GT(server.port(), 0);
  for (const std::string value : {"99999999999", "-12", "1e999"}) {
    SCOPED_TRACE(value);
    Reply page = Post(server.port(), "/?id=1", "application/x-www-form-urlencoded",
                      FormEncoded({{"axis0_highlight", value}, {"axis1_highlight", value}}));
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.body.find("error"), std::string::npos) << page.body;
    EXPECT_NE(page.body.find("name=\"axis0_highlight\" value=\"-1\""), std::string::npos) << page.body;
  }
}

// Clients that hold connections without finishing a request: sockets that
// never send a byte, and clients that send their head a byte at a time. With
// a thread per connection they cost a sleeping thread each; another client
// must still be answered at once.
TEST(ServerStarvationTest, IdleAndSlowClientsDoNotDelayOthers) {
  ServerProcess server({"--lang", "en", "--threads", "2"});
  ASSERT_GT(server.port(), 0);
  std::vector<int> idle;
  for (int client = 0; client < 200; ++client) {
    int fd = Connect(server.port());
    if (fd >= 0) idle.push_back(fd);
  }
  std::vector<int> slow;
  for (int client = 0; client < 50; ++client) {
    int fd = Connect(server.port());
    if (fd >= 0) slow.push_back(fd);
  }
  ASSERT_EQ(idle.size(), 200u);
  ASSERT_EQ(slow.size(), 50u);
  std::atomic<bool> dripping = true;
  std::thread drip([&] {
    const std::string head = "GET /?id=7 HTTP/1.1\r\nHost: localhost\r\nX-Drip: ";
    for (size_t sent = 0; dripping; ++sent) {
      char byte = sent < head.size() ? head[sent] : 'x';
      for (int fd : slow) ::send(fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  // Give the server a moment to take every connection, as it would have in use.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // The middle of three requests counts, so that one unlucky pause of a loaded machine does not decide.
  std::vector<double> seconds;
  for (int request = 0; request < 3; ++request) {
    auto start = std::chrono::steady_clock::now();
    Reply reply = Get(server.port(), "/?id=7");
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    EXPECT_EQ(reply.status, 200);
  }
  dripping = false;
  drip.join();
  for (int fd : idle) ::close(fd);
  for (int fd : slow) ::close(fd);
  std::sort(seconds.begin(), seconds.end());
  EXPECT_LT(seconds[1], 1.0) << "fastest " << seconds[0] << " s, slowest " << seconds[2] << " s";
}

}  // namespace
}  // namespace orvex
