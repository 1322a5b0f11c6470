#pragma once
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace orvex::testing {

// Starts orvex-server of this build with `arguments` (after the program) and
// reads its first line, "Orvex is serving http://127.0.0.1:PORT/", for the
// port. Sets `pid` (-1 when the program could not be started) and returns
// the port, or 0 when the server said nothing of one. The caller stops it.
inline int SpawnServer(const std::vector<std::string>& arguments, pid_t& pid) {
  std::vector<std::string> command = {std::string(ORVEX_BINARY_DIR) + "/bin/orvex-server"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : command) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid = -1;
  int out[2];
  if (::pipe(out) != 0) return 0;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string line;
  char c;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  size_t colon = line.rfind(':');
  return colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
}

}  // namespace orvex::testing
