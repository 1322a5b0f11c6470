// Starts orvex-server on a free loopback port and talks HTTP to it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/page_compare.h"

extern char** environ;

namespace orvex {
namespace {

namespace fs = std::filesystem;

struct Reply {
  int status = 0;
  std::string headers;  // lower-cased
  std::string body;
};

// Sends `request` as it is (so that paths reach the server unnormalised) and
// reads the reply until the server closes the connection.
Reply Send(int port, const std::string& request) {
  Reply reply;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return reply;
  }
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

Reply Get(int port, const std::string& target) {
  return Send(port, "GET " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                        "\r\nConnection: close\r\n\r\n");
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

    std::vector<std::string> arguments = {std::string(ORVEX_BINARY_DIR) + "/bin/orvex-server", "--port", "0",
                                          "--web-root", web_root().string(), "--views-dir", dir_.string()};
    arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The first line names the address: "Orvex is serving http://127.0.0.1:PORT/".
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    size_t colon = line.rfind(':');
    if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
  }

  ~ServerProcess() {
    Stop();
    fs::remove_all(dir_);
  }

  // Stops the server as Ctrl-C would and returns its exit status.
  int Stop() {
    if (pid_ <= 0) return exit_status_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exit_status_;
  }

  int port() const { return port_; }
  fs::path web_root() const { return dir_ / "web"; }

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

}  // namespace
}  // namespace orvex
