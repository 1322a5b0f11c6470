#pragma once
#include <string>
#include <string_view>

#include "setup/setup_platform.h"
#include "setup/setup_texts.h"

// The three prerequisite checks of the Setup bootstrapper, in the order they run.
namespace orvex::setup {

// The first prerequisite `platform` lacks; the checks after a failing one are
// not run, so they call no service. Anything that cannot be read counts as
// missing or too old.
[[nodiscard]] Failure FirstFailure(SetupPlatform& platform);

// The version text of the data-access components, or " " when it cannot be read.
[[nodiscard]] std::string DataAccessVersion(SetupPlatform& platform);
// The file version text of the scripting runtime library in the Windows
// system folder, or empty when any step of reading it fails.
[[nodiscard]] std::string ScriptingRuntimeVersion(SetupPlatform& platform);

// Whether the version text `version` is at least `required` ("2.6"),
// compared as text over at most the first three characters without regard to
// case. So 2.60 passes and 2.5 fails, and, as the installer has always
// decided, a version text of "10." fails too.
[[nodiscard]] bool VersionAtLeast(std::string_view version, std::string_view required);

}  // namespace orvex::setup
