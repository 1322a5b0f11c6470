#include "child_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace orvex::bench {
namespace {

std::vector<char*> Arguments(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  for (const auto& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

std::string CommandText(const std::vector<std::string>& argv) {
  std::string text;
  for (const auto& argument : argv) text += (text.empty() ? "" : " ") + argument;
  return text;
}

}  // namespace

std::string RunToEnd(const std::vector<std::string>& argv) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw std::runtime_error("cannot make a pipe");
  std::vector<char*> arguments = Arguments(argv);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("cannot start " + argv.front());
  if (child == 0) {
    dup2(pipe_ends[1], STDOUT_FILENO);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    execv(arguments[0], arguments.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  std::string output;
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipe_ends[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) output.append(buffer, static_cast<size_t>(got));
  }
  close(pipe_ends[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("failed: " + CommandText(argv));
  }
  return output;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv, const std::string& log_file) {
  std::vector<char*> arguments = Arguments(argv);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start " + argv.front());
  if (pid_ == 0) {
    int log = open(log_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execv(arguments[0], arguments.data());
    _exit(127);
  }
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

double BackgroundProcess::PeakMegabytes() const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;  // the line reads "VmHWM:  1234 kB"
  }
  return 0;
}

int FreePort() {
  int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (socket_fd < 0 || bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(socket_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (socket_fd >= 0) close(socket_fd);
    throw std::runtime_error("no free port");
  }
  close(socket_fd);
  return ntohs(address.sin_port);
}

}  // namespace orvex::bench
