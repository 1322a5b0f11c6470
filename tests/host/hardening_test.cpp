// The host's defences, without sockets where none are needed: the cross-site
// guard of saved-views actions, compression, the connection threads, and the
// message for a port in use.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <condition_variable>
#include <latch>
#include <mutex>
#include <string>

#include "host/connection_threads.h"
#include "host/http_request.h"
#include "host/orvex_server.h"
#include "host/request_guard.h"
#include "host/response_compression.h"

namespace orvex::host {
namespace {

httplib::Request MakeRequest(const std::string& target, std::vector<std::pair<std::string, std::string>> headers,
                             const std::string& form = "") {
  httplib::Request request;
  request.method = form.empty() ? "GET" : "POST";
  request.target = target;
  request.path = target.substr(0, target.find('?'));
  for (auto& [name, value] : headers) request.headers.emplace(name, value);
  if (!form.empty()) {
    request.headers.emplace("Content-Type", "application/x-www-form-urlencoded");
    request.body = form;
  }
  return request;
}

TEST(RequestGuardTest, OnlyStoreChangingSavedViewsActionsAreGuarded) {
  const std::pair<std::string, bool> cases[] = {
      {"/?id=3&actionID=save_view", true},   {"/?id=3&actionID=ADD_FOLDER", true},
      {"/?id=3&actionID=delete_folder", true}, {"/?id=3&actionID=delete_view", true},
      {"/?id=3&actionID=open_view", false},  {"/?id=3", false},
      {"/?id=1&actionID=save_view", false},  {"/?actionID=save_view", false},
  };
  for (const auto& [target, guarded] : cases) {
    SCOPED_TRACE(target);
    EXPECT_EQ(IsStateChangingAction(HttpRequest(MakeRequest(target, {}))), guarded);
  }
  // The action may come in the posted form, as the pane sends it.
  EXPECT_TRUE(IsStateChangingAction(HttpRequest(MakeRequest("/?id=3", {}, "actionID=delete_view&folder="))));
}

TEST(RequestGuardTest, CrossSiteIsToldBySecFetchSiteThenByOrigin) {
  using Headers = std::vector<std::pair<std::string, std::string>>;
  const std::pair<Headers, bool> cases[] = {
      {{}, false},  // an older client that sends neither
      {{{"Host", "localhost:8080"}}, false},
      {{{"Sec-Fetch-Site", "same-origin"}}, false},
      {{{"Sec-Fetch-Site", "none"}}, false},
      {{{"Sec-Fetch-Site", "cross-site"}}, true},
      {{{"Sec-Fetch-Site", "same-site"}}, true},
      {{{"Sec-Fetch-Site", "cross-site"}, {"Origin", "http://localhost:8080"}, {"Host", "localhost:8080"}}, true},
      {{{"Origin", "http://localhost:8080"}, {"Host", "localhost:8080"}}, false},
      {{{"Origin", "http://LOCALHOST:8080"}, {"Host", "localhost:8080"}}, false},
      {{{"Origin", "http://example.org"}, {"Host", "example.org:80"}}, false},
      {{{"Origin", "http://evil.example"}, {"Host", "localhost:8080"}}, true},
      {{{"Origin", "http://localhost:9090"}, {"Host", "localhost:8080"}}, true},
      {{{"Origin", "null"}, {"Host", "localhost:8080"}}, true},
      {{{"Origin", "http://localhost:8080"}}, true},
  };
  for (const auto& [headers, cross_site] : cases) {
    std::string trace;
    for (const auto& [name, value] : headers) trace += name + ": " + value + "; ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(IsCrossSite(MakeRequest("/?id=3", headers)), cross_site);
  }
}

std::string Gunzip(const std::string& packed) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
  std::string out;
  char buffer[16384];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  EXPECT_EQ(result, Z_STREAM_END);
  return out;
}

TEST(ResponseCompressionTest, GzipIsChosenOnlyWhereTheClientAndTheReplyAllowIt) {
  const std::pair<std::string, bool> encodings[] = {
      {"gzip, deflate, br", true}, {"br;q=1.0, gzip;q=0.5", true}, {"*", true},
      {"br", false},               {"gzip;q=0", false},             {"", false},
      {"identity, *;q=0", false},
  };
  for (const auto& [header, accepted] : encodings) {
    SCOPED_TRACE(header);
    EXPECT_EQ(AcceptsGzip(header), accepted);
  }
  EXPECT_TRUE(WorthCompressing("text/html; charset=utf-8", 4096));
  EXPECT_TRUE(WorthCompressing("application/javascript", 4096));
  EXPECT_FALSE(WorthCompressing("text/html", 200));
  EXPECT_FALSE(WorthCompressing("image/gif", 1 << 20));
}

TEST(ResponseCompressionTest, ABodyGoesOutGzippedOnceOrAsItIs) {
  std::string page;
  for (int row = 0; page.size() < 100'000; ++row) page += "<tr><td>" + std::to_string(row) + "</td></tr>\n";
  for (const char* accept : {"gzip, br", "br"}) {
    SCOPED_TRACE(accept);
    httplib::Request request = MakeRequest("/", {{"Accept-Encoding", accept}});
    httplib::Response response;
    response.set_content(page, "text/html; charset=utf-8");
    SendCompressedWherePays(request, response, std::chrono::seconds(10));
    // A sized content provider: the library sends it as it is, never compressing it itself.
    ASSERT_TRUE(response.content_provider_);
    EXPECT_TRUE(response.body.empty());
    EXPECT_EQ(response.get_header_value("Content-Type"), "text/html; charset=utf-8");
    std::string sent;
    httplib::DataSink sink;
    sink.write = [&](const char* data, size_t length) {
      sent.append(data, length);
      return true;
    };
    ASSERT_TRUE(response.content_provider_(0, response.content_length_, sink));
    if (std::string(accept).find("gzip") != std::string::npos) {
      EXPECT_EQ(response.get_header_value("Content-Encoding"), "gzip");
      EXPECT_LT(sent.size(), page.size() / 4);
      EXPECT_EQ(Gunzip(sent), page);
    } else {
      EXPECT_FALSE(response.has_header("Content-Encoding"));
      EXPECT_EQ(sent, page);
    }
  }
}

TEST(ResponseCompressionTest, CompressionOverItsBudgetIsDropped) {
  std::string page;
  for (int row = 0; page.size() < 300'000; ++row) page += "<tr><td>" + std::to_string(row * 7919 % 100'003) + "</td></tr>\n";
  EXPECT_FALSE(GzipFast(page, std::chrono::nanoseconds(0)));
  // A reply whose page took no time goes out as it is (past the first 64 KB piece).
  httplib::Request request = MakeRequest("/", {{"Accept-Encoding", "gzip"}});
  httplib::Response response;
  response.set_content(page, "text/html");
  SendCompressedWherePays(request, response, std::chrono::nanoseconds(0));
  EXPECT_FALSE(response.has_header("Content-Encoding"));
  EXPECT_EQ(response.content_length_, page.size());
  // The first piece is always compressed: a small reply costs little either way.
  EXPECT_TRUE(GzipFast(page.substr(0, 60'000), std::chrono::nanoseconds(0)));
}

TEST(ConnectionThreadsTest, EveryConnectionGetsAThreadUpToTheCap) {
  // Twenty connections that each wait for all the others: with a fixed pool
  // of two this would never end.
  constexpr int kConnections = 20;
  ConnectionThreads threads(2, 64);
  std::latch all_running(kConnections);
  std::atomic<int> done = 0;
  for (int connection = 0; connection < kConnections; ++connection) {
    threads.enqueue([&] {
      all_running.arrive_and_wait();
      ++done;
    });
  }
  threads.shutdown();
  EXPECT_EQ(done.load(), kConnections);
}

TEST(ConnectionThreadsTest, ConnectionsBeyondTheCapWaitTheirTurn) {
  ConnectionThreads threads(1, 2);
  std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
  int most = 0;
  int finished = 0;
  std::latch two_running(2);
  for (int connection = 0; connection < 6; ++connection) {
    threads.enqueue([&, connection] {
      {
        std::lock_guard<std::mutex> lock(mutex);
        most = std::max(most, ++running);
      }
      if (connection < 2) two_running.arrive_and_wait();  // both threads are in use at once
      std::lock_guard<std::mutex> lock(mutex);
      --running;
      ++finished;
      changed.notify_all();
    });
  }
  threads.shutdown();
  EXPECT_EQ(finished, 6);
  EXPECT_EQ(most, 2);
  EXPECT_LE(threads.ThreadCount(), 2u);
}

TEST(BindFailureTest, APortInUseIsNamedAsSuch) {
  int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  EXPECT_EQ(BindFailureReason("127.0.0.1", port), "the port " + std::to_string(port) + " is in use by another program");
  ::close(holder);
  EXPECT_NE(BindFailureReason("no such host name.invalid", 80).find("not one this machine"), std::string::npos);
}

}  // namespace
}  // namespace orvex::host
