// orvex-server: serves the Orvex explorer over HTTP.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "host/orvex_server.h"
#include "host/server_settings.h"
#include "host/users.h"

int main(int argc, char** argv) {
  using namespace orvex::host;
  ServerSettings settings;
  try {
    settings = ParseServerArguments(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "orvex-server: " << error.what() << "\n\n" << UsageText();
    return 2;
  }
  if (settings.show_help) {
    std::cout << UsageText();
    return 0;
  }
  if (settings.hash_password) {
    std::string password;
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    std::cout << HashPassword(password) << std::endl;
    return 0;
  }

  // Stop cleanly on Ctrl-C or a termination request: the signals are taken by
  // one waiting thread, never by a worker in the middle of a page.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  try {
    OrvexServer server(settings);
    int port = server.Bind();
    // A stop asked for before the accept loop runs is lost (the loop has not
    // begun, so there is nothing to end yet): ask again until Listen returns.
    std::atomic<bool> listening_ended{false};
    std::thread stopper([&server, &listening_ended, stop_signals] {
      int received = 0;
      sigwait(&stop_signals, &received);
      while (!listening_ended) {
        server.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    // Whatever ended the loop, the stopper is woken and joined before the server goes.
    struct StopperJoin {
      std::thread& thread;
      std::atomic<bool>& ended;
      ~StopperJoin() {
        ended = true;
        pthread_kill(thread.native_handle(), SIGTERM);
        thread.join();
      }
    } join_stopper{stopper, listening_ended};
    std::cout << "Orvex is serving http://" << (settings.bind.find(':') != std::string::npos ? "[" + settings.bind + "]"
                                                                                            : settings.bind)
              << ":" << port << settings.page << std::endl;
    if (settings.xmla && !settings.users_file && settings.bind != "127.0.0.1" && settings.bind != "::1" &&
        settings.bind != "localhost") {
      std::cerr << "orvex-server: warning: XMLA at " << settings.xmla_path << " is open to the network on "
                << settings.bind << " without authentication; --users or --no-xmla closes it" << std::endl;
    }
    server.Listen();
  } catch (const std::exception& error) {
    std::cerr << "orvex-server: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
