#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace orvex::bench {

// Runs `argv` (argv[0] a path) to its end and returns what it wrote to
// standard output; its standard error passes through. Throws
// std::runtime_error when it cannot start or exits with a failure.
std::string RunToEnd(const std::vector<std::string>& argv);

// A program started in the background and stopped (SIGTERM, then SIGKILL)
// when this object ends. Its output goes to `log_file`.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv, const std::string& log_file);
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  ~BackgroundProcess();

  pid_t pid() const { return pid_; }
  // The process's peak resident memory so far (VmHWM), in megabytes; 0 when it has ended.
  double PeakMegabytes() const;

 private:
  pid_t pid_ = -1;
};

// A TCP port on the loopback address that nothing listens on now.
int FreePort();

}  // namespace orvex::bench
