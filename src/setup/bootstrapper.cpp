#include "setup/bootstrapper.h"

#include "setup/prerequisites.h"
#include "setup/setup_texts.h"

namespace orvex::setup {

void RunSetup(SetupPlatform& platform) {
  platform.HideConsole();
  const Language language = LanguageFor(platform.UserDefaultLanguageId());
  const Failure failure = FirstFailure(platform);
  if (failure != Failure::kNone) {
    platform.ShowMessageBox(MessageText(failure, language), kMessageCaption);
    return;
  }
  // Without its own location the program cannot name the package beside it,
  // and a guessed path could start some other package.
  const std::optional<std::string> module_file_name = platform.ModuleFileName();
  if (!module_file_name) return;
  platform.SetInstallerUiLevel(kInstallerUiFull);
  platform.InstallProduct(PackagePath(*module_file_name));
}

std::string PackagePath(std::string_view module_file_name) {
  const size_t file_name_start = module_file_name.find_last_of("\\/:") + 1;  // 0 when there is no folder
  std::string path(module_file_name.substr(0, file_name_start));
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path + kPackageFileName;
}

}  // namespace orvex::setup
