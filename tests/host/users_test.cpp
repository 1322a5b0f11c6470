#include "host/users.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace orvex::host {
namespace {

std::string Basic(const std::string& name_and_password) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t index = 0;
  for (; index + 2 < name_and_password.size(); index += 3) {
    unsigned value = (static_cast<unsigned char>(name_and_password[index]) << 16) |
                     (static_cast<unsigned char>(name_and_password[index + 1]) << 8) |
                     static_cast<unsigned char>(name_and_password[index + 2]);
    for (int shift : {18, 12, 6, 0}) out += kAlphabet[(value >> shift) & 63];
  }
  size_t rest = name_and_password.size() - index;
  if (rest > 0) {
    unsigned value = static_cast<unsigned char>(name_and_password[index]) << 16;
    if (rest == 2) value |= static_cast<unsigned char>(name_and_password[index + 1]) << 8;
    out += kAlphabet[(value >> 18) & 63];
    out += kAlphabet[(value >> 12) & 63];
    out += rest == 2 ? kAlphabet[(value >> 6) & 63] : '=';
    out += '=';
  }
  return "Basic " + out;
}

std::filesystem::path WriteUsers(const testing::TempDir& dir, const std::string& text) {
  auto path = dir.path() / "users";
  std::ofstream(path) << text;
  return path;
}

TEST(UsersTest, HashesAreSaltedAndVerifyOnlyTheirPassword) {
  std::string first = HashPassword("s3cret ü");
  EXPECT_NE(first, HashPassword("s3cret ü"));
  EXPECT_TRUE(VerifyPassword("s3cret ü", first));
  for (const char* wrong : {"s3cret", "s3cret ü ", "", "S3CRET Ü"}) {
    SCOPED_TRACE(wrong);
    EXPECT_FALSE(VerifyPassword(wrong, first));
  }
  for (const char* broken : {"", "pbkdf2-sha256$1$00$00", "md5$1$00$" , "pbkdf2-sha256$x$00$00"}) {
    SCOPED_TRACE(broken);
    EXPECT_FALSE(VerifyPassword("", broken));
  }
}

TEST(UsersTest, AuthenticatesBasicHeadersOfKnownUsersOnly) {
  testing::TempDir dir;
  Users users = Users::Load(WriteUsers(dir, "# analysts\n\nann " + HashPassword("pa:ss") + "\nbob " +
                                               HashPassword("x") + "\n"));
  EXPECT_EQ(users.Authenticate(Basic("ann:pa:ss")), std::optional<std::string>("ann"));
  EXPECT_EQ(users.Authenticate(Basic("ann:pa:ss")), std::optional<std::string>("ann"));  // remembered
  EXPECT_EQ(users.Authenticate(Basic("bob:x")), std::optional<std::string>("bob"));
  for (const std::string& header : {Basic("ann:x"), Basic("bob:pa:ss"), Basic("carl:x"), Basic("ann"),
                                    std::string("Basic !!!!"), std::string("Bearer abc"), std::string(""),
                                    std::string("basic ") + Basic("bob:x").substr(6)}) {
    SCOPED_TRACE(header);
    EXPECT_EQ(users.Authenticate(header), std::nullopt);
  }
}

TEST(UsersTest, TheRestOfALineIsTheUsersRole) {
  testing::TempDir dir;
  Users users = Users::Load(WriteUsers(dir, "ann " + HashPassword("a") + "\ncal " + HashPassword("c") +
                                                "   California   manager \n"));
  EXPECT_EQ(users.RoleOf("ann"), "");
  EXPECT_EQ(users.RoleOf("cal"), "California manager");
  EXPECT_EQ(users.RoleOf("carl"), "");
  Users moved(std::move(users));
  EXPECT_EQ(moved.RoleOf("cal"), "California manager");
}

TEST(UsersTest, RefusesFilesItCannotObeyFully) {
  testing::TempDir dir;
  std::string hash = HashPassword("x");
  const std::vector<std::string> texts = {"ann " + hash + " Ana;lysts\n", "ann\n", "ann x\n", "ann x Analysts\n",
                                         "ann " + hash + "\nann " + hash + "\n", "# nobody\n", "a:b " + hash + "\n"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_THROW(Users::Load(WriteUsers(dir, text)), std::runtime_error);
  }
  EXPECT_THROW(Users::Load(dir.path() / "missing"), std::runtime_error);
}

TEST(UsersTest, DecodesBase64AndRefusesWhatIsNot) {
  EXPECT_EQ(DecodeBase64("YW5uOnBhc3M="), std::optional<std::string>("ann:pass"));
  EXPECT_EQ(DecodeBase64(""), std::optional<std::string>(""));
  for (const char* bad : {"YW5", "YW5u=nBh", "YW5u OnBh", "=AAA"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(DecodeBase64(bad), std::nullopt);
  }
}

}  // namespace
}  // namespace orvex::host
