// Setup.exe cannot run here; these tests check the shape of the program that
// ships: a 64-bit Windows console program that needs nothing but the system's
// own libraries and calls the installer and the message box through their
// single-byte entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/text.h"
#include "setup/command.h"

namespace orvex::setup {
namespace {

const std::string kProgram = std::string(ORVEX_BINARY_DIR) + "/bin/Setup.exe";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t ReadLittleEndian(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t index = 0; index < width && at + index < bytes.size(); ++index) {
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + index])) << (8 * index);
  }
  return value;
}

TEST(WindowsProgramTest, IsASixtyFourBitConsoleProgram) {
  const std::string image = ReadFile(kProgram);
  ASSERT_GT(image.size(), 0x200u) << kProgram;
  ASSERT_EQ(image.substr(0, 2), "MZ");
  const uint32_t header = ReadLittleEndian(image, 0x3C, 4);
  ASSERT_EQ(image.substr(header, 4), std::string("PE\0\0", 4));
  EXPECT_EQ(ReadLittleEndian(image, header + 4, 2), 0x8664u);           // x86-64
  const size_t optional_header = header + 24;
  EXPECT_EQ(ReadLittleEndian(image, optional_header, 2), 0x20Bu);       // PE32+
  EXPECT_EQ(ReadLittleEndian(image, optional_header + 68, 2), 3u);      // console subsystem
}

TEST(WindowsProgramTest, ImportsOnlySystemLibrariesAndTheSingleByteEntryPoints) {
  const CommandResult dump = RunCommand(std::string(ORVEX_MINGW_OBJDUMP) + " -p '" + kProgram + "'");
  ASSERT_EQ(dump.exit_code, 0);
  const std::set<std::string> system_libraries = {"kernel32.dll", "user32.dll", "advapi32.dll",
                                                  "version.dll",  "msi.dll",    "msvcrt.dll"};
  std::set<std::string> libraries;
  std::istringstream lines(dump.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t at = line.find("DLL Name: ");
    if (at != std::string::npos) libraries.insert(ToLower(Trim(line.substr(at + 10))));
  }
  EXPECT_TRUE(libraries.count("msi.dll"));
  for (const std::string& library : libraries) {
    SCOPED_TRACE(library);
    EXPECT_TRUE(system_libraries.count(library));
  }
  for (const char* function : {"MsiSetInternalUI", "MsiInstallProductA", "MessageBoxA", "GetFileVersionInfoA",
                               "RegQueryValueExA", "GetVersionExA"}) {
    SCOPED_TRACE(function);
    EXPECT_NE(dump.output.find(std::string(" ") + function + "\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace orvex::setup
