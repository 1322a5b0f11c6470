#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orvex::setup {

struct CommandResult {
  std::string output;
  int exit_code = -1;
};

// Runs `command` through the shell and returns what it wrote to standard output.
inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t read = 0;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, read);
  const int status = pclose(pipe);
  if (status != -1 && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

}  // namespace orvex::setup
