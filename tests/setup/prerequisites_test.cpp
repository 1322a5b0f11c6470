#include "setup/prerequisites.h"

#include <gtest/gtest.h>

#include "setup/fake_setup_platform.h"

namespace orvex::setup {
namespace {

TEST(VersionAtLeastTest, ComparesTheFirstThreeCharactersAsText) {
  struct Case {
    const char* version;
    const char* required;
    bool expected;
  };
  const Case cases[] = {
      {"2.6", "2.6", true},
      {"2.7", "2.6", true},
      {"2.60", "2.6", true},
      {"2.60.6526.3", "2.6", true},
      {"2.5", "2.6", false},
      {"2.53.6200.2", "2.6", false},
      {"2.80.1022.0", "2.6", true},
      {"6.0.6000.16386", "2.6", true},
      // As text, "1" sorts below "2": a two-digit major version counts as too old.
      {"10.", "2.6", false},
      {"10.0.19041.1", "2.6", false},
      {"3", "2.6", true},
      {"2", "2.6", false},
      {"2.", "2.6", false},
      {" ", "2.6", false},
      {"", "2.6", false},
      {"v2.6", "2.6", true},
      {"5.6.0.8820", "5.6", true},
      {"5.1", "5.6", false},
      {"5.06", "5.6", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.version + "\" >= " + c.required);
    EXPECT_EQ(VersionAtLeast(c.version, c.required), c.expected);
  }
}

TEST(PrerequisitesTest, OnlyTheNtFamilyFromVersionFourPasses) {
  struct Case {
    std::optional<VersionRecord> version;
    Failure expected;
  };
  const Case cases[] = {
      {VersionRecord{2, 3, 51}, Failure::kOperatingSystem},
      {VersionRecord{2, 4, 0}, Failure::kNone},
      {VersionRecord{2, 5, 0}, Failure::kNone},
      {VersionRecord{2, 10, 0}, Failure::kNone},
      {VersionRecord{1, 4, 90}, Failure::kOperatingSystem},  // the consumer family
      {VersionRecord{0, 4, 0}, Failure::kOperatingSystem},
      {VersionRecord{3, 5, 0}, Failure::kOperatingSystem},
      {std::nullopt, Failure::kOperatingSystem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version ? std::to_string(c.version->platform_id) + "/" + std::to_string(c.version->major) : "none");
    FakeSetupPlatform platform;
    platform.version = c.version;
    EXPECT_EQ(FirstFailure(platform), c.expected);
  }
}

TEST(PrerequisitesTest, DataAccessVersionComesFromTheMachineRegistry) {
  const std::string value_key = "SOFTWARE\\Microsoft\\DataAccess|FullInstallVer";
  struct Case {
    std::optional<std::string> value;
    Failure expected;
  };
  // The comparison itself is covered above; here the value must be the one that decides.
  const Case cases[] = {{"2.60", Failure::kNone}, {"2.5", Failure::kDataAccess}, {std::nullopt, Failure::kDataAccess}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.value_or("(missing)"));
    FakeSetupPlatform platform;
    platform.registry.erase(value_key);
    if (c.value) platform.registry[value_key] = *c.value;
    EXPECT_EQ(FirstFailure(platform), c.expected);
  }
  FakeSetupPlatform missing;
  missing.registry.clear();
  EXPECT_EQ(DataAccessVersion(missing), " ");
}

TEST(PrerequisitesTest, ScriptingRuntimeVersionIsReadThroughTheFirstTranslation) {
  FakeSetupPlatform platform;
  platform.ScriptingRuntime() = {
      // Two pairs, little-endian words: (0x0413, 0x04E4) and (0x0409, 0x04B0).
      {"\\VarFileInfo\\Translation", std::string("\x13\x04\xE4\x04\x09\x04\xB0\x04", 8)},
      {"\\StringFileInfo\\041304E4\\FileVersion", std::string("5.7.0.16599\0\0", 13)},
      {"\\StringFileInfo\\040904B0\\FileVersion", "5.1.0.0"},
  };
  EXPECT_EQ(ScriptingRuntimeVersion(platform), "5.7.0.16599");
  EXPECT_EQ(platform.version_queries,
            (std::vector<std::string>{"\\VarFileInfo\\Translation", "\\StringFileInfo\\041304E4\\FileVersion"}));
}

TEST(PrerequisitesTest, ScriptingRuntimeIsLookedForInTheSystemFolder) {
  for (const char* directory : {"C:\\WINNT", "C:\\WINNT\\"}) {
    SCOPED_TRACE(directory);
    FakeSetupPlatform platform;
    platform.windows_directory = directory;
    platform.files = {{"C:\\WINNT\\system32\\scrrun.dll", platform.ScriptingRuntime()}};
    EXPECT_EQ(ScriptingRuntimeVersion(platform), "5.6.0.8820");
  }
  for (const std::optional<std::string>& directory : {std::optional<std::string>(), std::optional<std::string>("")}) {
    FakeSetupPlatform platform;
    platform.windows_directory = directory;
    platform.files["\\system32\\scrrun.dll"] = platform.ScriptingRuntime();
    EXPECT_EQ(ScriptingRuntimeVersion(platform), "");
    EXPECT_EQ(platform.calls.back(), "WindowsDirectory()");
  }
}

TEST(PrerequisitesTest, AnyUnreadableStepOfTheScriptingRuntimeCountsAsTooOld) {
  struct Case {
    const char* name;
    void (*damage)(FakeSetupPlatform&);
  };
  const Case cases[] = {
      {"missing file", [](FakeSetupPlatform& p) { p.files.clear(); }},
      {"no translation", [](FakeSetupPlatform& p) { p.ScriptingRuntime().erase("\\VarFileInfo\\Translation"); }},
      {"short translation", [](FakeSetupPlatform& p) { p.ScriptingRuntime()["\\VarFileInfo\\Translation"] = "\x09\x04"; }},
      {"no file version", [](FakeSetupPlatform& p) { p.ScriptingRuntime().erase("\\StringFileInfo\\040904B0\\FileVersion"); }},
      {"version 5.1", [](FakeSetupPlatform& p) { p.ScriptingRuntime()["\\StringFileInfo\\040904B0\\FileVersion"] = "5.1"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSetupPlatform platform;
    c.damage(platform);
    EXPECT_EQ(FirstFailure(platform), Failure::kScriptingRuntime);
  }
}

}  // namespace
}  // namespace orvex::setup
