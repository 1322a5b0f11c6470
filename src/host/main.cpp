// orvex-server: serves the Orvex explorer over HTTP.
#include <signal.h>

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
    std::thread([&server, stop_signals] {
      int received = 0;
      sigwait(&stop_signals, &received);
      server.Stop();
    }).detach();
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
