// Setup: checks the prerequisites of the server and starts the installer
// package that lies beside this program. Takes no arguments; always exits with 0.
#include "setup/bootstrapper.h"

#ifdef _WIN32
#include "setup/windows_setup_platform.h"
#else
#include <cstdlib>
#include <iostream>

#include "setup/linux_setup_platform.h"
#endif

int main() {
  try {
#ifdef _WIN32
    orvex::setup::WindowsSetupPlatform platform;
#else
    const char* lang = std::getenv("LANG");
    orvex::setup::LinuxSetupPlatform platform(lang ? lang : "", std::cerr);
#endif
    orvex::setup::RunSetup(platform);
  } catch (...) {
    // Only running out of memory can end up here; there is nothing to show it with.
  }
  return 0;
}
