#include "setup/bootstrapper.h"

#include <gtest/gtest.h>

#include "setup/fake_setup_platform.h"

namespace orvex::setup {
namespace {

using Calls = std::vector<std::string>;

const Calls kChecks = {
    "HideConsole()",
    "UserDefaultLanguageId()",
    "Version()",
    "ReadMachineRegistryString(SOFTWARE\\Microsoft\\DataAccess|FullInstallVer)",
    "WindowsDirectory()",
    "ReadFileVersionResource(C:\\WINDOWS\\system32\\scrrun.dll)",
};

Calls FirstCalls(size_t count) { return Calls(kChecks.begin(), kChecks.begin() + count); }

Calls Then(Calls calls, const Calls& more) {
  calls.insert(calls.end(), more.begin(), more.end());
  return calls;
}

TEST(BootstrapperTest, StartsTheInstallerWithTheFullInterfaceWhenEveryCheckPasses) {
  FakeSetupPlatform platform;
  RunSetup(platform);
  EXPECT_EQ(platform.calls, Then(kChecks, {"ModuleFileName()", "SetInstallerUiLevel(5)",
                                           "InstallProduct(C:\\dist\\Orvex.msi)"}));
  EXPECT_TRUE(platform.message_boxes.empty());
}

TEST(BootstrapperTest, ShowsOnlyTheFirstFailureAndRunsNoLaterCheck) {
  struct Case {
    const char* name;
    void (*damage)(FakeSetupPlatform&);
    Calls expected_calls;
  };
  const Case cases[] = {
      // Everything else missing too: only the operating system is reported.
      {"operating system",
       [](FakeSetupPlatform& p) {
         p.version = VersionRecord{2, 3, 51};
         p.registry.clear();
         p.files.clear();
       },
       Then(FirstCalls(3), {"ShowMessageBox()"})},
      {"data access",
       [](FakeSetupPlatform& p) {
         p.registry.clear();
         p.files.clear();
       },
       Then(FirstCalls(4), {"ShowMessageBox()"})},
      {"scripting runtime", [](FakeSetupPlatform& p) { p.files.clear(); }, Then(kChecks, {"ShowMessageBox()"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSetupPlatform platform;
    c.damage(platform);
    RunSetup(platform);
    EXPECT_EQ(platform.calls, c.expected_calls);
    EXPECT_EQ(platform.message_boxes.size(), 1u);
  }
}

TEST(BootstrapperTest, MessagesAreTheExactBytesInTheUsersLanguage) {
  struct Case {
    uint16_t language_id;
    void (*damage)(FakeSetupPlatform&);
    std::string text;
  };
  const Case cases[] = {
      {1043, [](FakeSetupPlatform& p) { p.version = VersionRecord{1, 4, 10}; },
       "Onjuiste ontdekte versie van Ramen.\n\nOrvex kan slechts worden ge\xEF"
       "nstalleerd op Windows NT 4.0, Windows 2000, en Windows XP"},
      // Belgian Dutch gets English.
      {2067, [](FakeSetupPlatform& p) { p.version = VersionRecord{1, 4, 10}; },
       "Incorrect version of Windows detected.\n\nOrvex can only be installed on Windows NT 4.0, Windows 2000, and "
       "Windows XP"},
      {1033, [](FakeSetupPlatform& p) { p.registry.clear(); },
       "Orvex requires Microsoft Data Access Components (MDAC) 2.6 or greater.  The installer cannot continue.\n\n"
       "Refer to the installation documentation for details."},
      {1043, [](FakeSetupPlatform& p) { p.registry.clear(); },
       "Orvex vereist Microsoft de Componenten van de Toegang van Gegevens 2.6 of groter.  De installateur kan niet "
       "verdergaan.\n\nVerwijs naar de installatiedocumentatie voor details."},
      {1033, [](FakeSetupPlatform& p) { p.files.clear(); },
       "Orvex requires Microsoft Scripting Runtime Library 5.6 or greater.  The installer cannot continue.\n\n"
       "Refer to the installation documentation for details."},
      {1043, [](FakeSetupPlatform& p) { p.files.clear(); },
       "Orvex vereist Microsoft Scripting Runtime Bibliotheek 5.6 of groter.  De installateur kan niet verdergaan.\n\n"
       "Verwijs naar de installatiedocumentatie voor details."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20) + " " + std::to_string(c.language_id));
    FakeSetupPlatform platform;
    platform.language_id = c.language_id;
    c.damage(platform);
    RunSetup(platform);
    ASSERT_EQ(platform.message_boxes.size(), 1u);
    EXPECT_EQ(platform.message_boxes[0].first, c.text);
    EXPECT_EQ(platform.message_boxes[0].second, "Orvex");
  }
}

TEST(BootstrapperTest, WithoutItsOwnPathTheProgramStartsNoPackage) {
  FakeSetupPlatform platform;
  platform.module_file_name.reset();
  RunSetup(platform);
  EXPECT_EQ(platform.calls, Then(kChecks, {"ModuleFileName()"}));
  EXPECT_TRUE(platform.message_boxes.empty());
}

TEST(BootstrapperTest, PackageLiesInTheProgramsFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\dist\\Setup.exe", "C:\\dist\\Orvex.msi"},
      {"E:\\Setup.exe", "E:\\Orvex.msi"},
      {"\\\\server\\share\\orvex 1.0\\SETUP.EXE", "\\\\server\\share\\orvex 1.0\\Orvex.msi"},
      {"C:/dist/Setup.exe", "C:/dist/Orvex.msi"},
  };
  for (const auto& [module, package] : cases) {
    SCOPED_TRACE(module);
    EXPECT_EQ(PackagePath(module), package);
  }
}

}  // namespace
}  // namespace orvex::setup
