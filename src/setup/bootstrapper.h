#pragma once
#include <string>
#include <string_view>

#include "setup/setup_platform.h"

// The start-up of the Setup bootstrapper, the same on every platform.
namespace orvex::setup {

inline constexpr char kPackageFileName[] = "Orvex.msi";
// The installer's full user interface.
inline constexpr int kInstallerUiFull = 5;

// Hides the console, checks the prerequisites and either shows the first
// failure in the user's language or starts the installer on the package
// beside the program. Nothing is shown after the installer has been started.
// The program exits with 0 whatever happens, so nothing is returned.
void RunSetup(SetupPlatform& platform);

// The installer package in the folder of `module_file_name`:
// "C:\dist\Setup.exe" gives "C:\dist\Orvex.msi".
[[nodiscard]] std::string PackagePath(std::string_view module_file_name);

}  // namespace orvex::setup
