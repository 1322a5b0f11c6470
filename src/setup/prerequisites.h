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

// Whether the version text `version` is at least `required` ("2.6"). Both are
// read as decimal numbers from their leading "digits[.digits]", the rest
// ignored: the fraction counts digit by digit, so 2.53 (the third service pack
// of 2.5) stays below 2.6 and 2.60 equals it, while the whole part counts as a
// number, so 10.0 is above it. A text that does not start with a digit is too old.
[[nodiscard]] bool VersionAtLeast(std::string_view version, std::string_view required);

}  // namespace orvex::setup
