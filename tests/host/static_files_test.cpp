#include "host/static_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace orvex::host {
namespace {

namespace fs = std::filesystem;

// A web root with a few files, a secret beside it, and symbolic links that
// lead inside and outside the root.
class TempSite {
 public:
  TempSite() : dir_(fs::temp_directory_path() / ("orvex-site-" + std::to_string(::getpid()))) {
    fs::remove_all(dir_);
    fs::create_directories(root() / "js");
    fs::create_directories(root() / "help_EN");
    Write(root() / "js/General.js", "function changeStatus() {}");
    Write(root() / "help_EN/default.htm", "<html></html>");
    Write(root() / ".hidden", "no");
    Write(dir_ / "secret.txt", "secret");
    fs::create_directory_symlink(dir_, root() / "out");
    fs::create_symlink(dir_ / "secret.txt", root() / "secret.txt");
    fs::create_symlink(root() / "js/General.js", root() / "general.js");
  }
  ~TempSite() { fs::remove_all(dir_); }
  fs::path root() const { return dir_ / "web"; }

 private:
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  fs::path dir_;
};

TEST(StaticFilesTest, ServesOnlyRegularFilesInsideTheRoot) {
  TempSite site;
  StaticFiles files(site.root(), "/");
  const fs::path general = fs::canonical(site.root() / "js/General.js");
  const std::pair<std::string, std::optional<fs::path>> cases[] = {
      {"/js/General.js", general},
      {"//js//General.js", general},
      {"/general.js", general},  // a link that stays inside
      {"/help_EN/default.htm", fs::canonical(site.root() / "help_EN/default.htm")},
      {"/js/Missing.js", std::nullopt},
      {"/js", std::nullopt},
      {"/", std::nullopt},
      {"/../secret.txt", std::nullopt},
      {"/js/../../secret.txt", std::nullopt},
      {"/js/./General.js", std::nullopt},
      {"/out/secret.txt", std::nullopt},
      {"/secret.txt", std::nullopt},
      {"/.hidden", std::nullopt},
      {"/js\\General.js", std::nullopt},
      {std::string("/js/General.js\0.gif", 19), std::nullopt},
      {"js/General.js", std::nullopt},
      {site.root().string() + "/js/General.js", std::nullopt},
  };
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(files.Resolve(path), expected);
  }
}

TEST(StaticFilesTest, FilesSitBesideTheHostingPage) {
  TempSite site;
  StaticFiles files(site.root(), "/orvex/");
  EXPECT_TRUE(files.Resolve("/orvex/js/General.js").has_value());
  EXPECT_FALSE(files.Resolve("/js/General.js").has_value());
  EXPECT_FALSE(files.Resolve("/orvexjs/General.js").has_value());
  EXPECT_THROW(StaticFiles(site.root() / "missing", "/"), std::runtime_error);
}

TEST(StaticFilesTest, ContentTypesFollowTheExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"a/b.htm", "text/html; charset=utf-8"},   {"x.JS", "text/javascript; charset=utf-8"},
      {"s.css", "text/css; charset=utf-8"},      {"i.gif", "image/gif"},
      {"favicon.ico", "image/x-icon"},           {"data.bin", "application/octet-stream"},
      {"noextension", "application/octet-stream"},
  };
  for (const auto& [file, type] : cases) {
    SCOPED_TRACE(file);
    EXPECT_EQ(ContentTypeOf(file), type);
  }
}

}  // namespace
}  // namespace orvex::host
