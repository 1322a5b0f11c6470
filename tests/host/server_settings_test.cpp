#include "host/server_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex::host {
namespace {

TEST(ServerSettingsTest, ReadsEveryFlagInBothSpellings) {
  ServerSettings settings = ParseServerArguments({
      "--port", "0", "--bind=0.0.0.0", "--web-root", "/srv/web", "--page", "/orvex/explorer", "--threads", "3",
      "--max-request-size", "1000", "--catalogs", "/data", "--data-source", "sales=/data/sales",
      "--data-source=hr=/data/h=r", "--default-data-source", "sales", "--hide", "cube", "--hide=saved-views",
      "--views-dir", "/views", "--max-files-per-folder", "9", "--max-folders-per-folder=8",
      "--max-folder-depth", "2", "--max-name-length", "30", "--file-extension", "view", "--lang", "nl",
      "--max-cells", "5000", "--query-timeout", "0", "--max-statement-memory=1000000"});
  EXPECT_EQ(settings.port, 0);
  EXPECT_EQ(settings.bind, "0.0.0.0");
  EXPECT_EQ(settings.web_root, "/srv/web");
  EXPECT_EQ(settings.page, "/orvex/explorer");
  EXPECT_EQ(settings.threads, 3);
  EXPECT_EQ(settings.max_request_bytes, 1000u);
  EXPECT_EQ(settings.catalogs, "/data");
  using Source = std::pair<std::string, std::filesystem::path>;
  EXPECT_EQ(settings.data_sources, (std::vector<Source>{{"sales", "/data/sales"}, {"hr", "/data/h=r"}}));
  EXPECT_EQ(settings.default_data_source, "sales");
  EXPECT_EQ(settings.hidden_sections, (std::vector<std::string>{"cube", "saved-views"}));
  EXPECT_EQ(settings.views_dir, std::filesystem::path("/views"));
  EXPECT_EQ(settings.max_files_per_folder, 9);
  EXPECT_EQ(settings.max_folders_per_folder, 8);
  EXPECT_EQ(settings.max_folder_depth, 2);
  EXPECT_EQ(settings.max_name_length, 30);
  EXPECT_EQ(settings.file_extension, "view");
  EXPECT_EQ(settings.locale, 1043);
  EXPECT_EQ(settings.max_cells, 5000);
  EXPECT_EQ(settings.query_timeout_seconds, 0);
  EXPECT_EQ(settings.max_statement_memory, 1000000);
  EXPECT_EQ(ParseServerArguments({"--lang", "en"}).locale, 1033);
  EXPECT_EQ(ParseServerArguments({}).explore_path, "/explore");
  EXPECT_EQ(ParseServerArguments({"--explore-path", "/team_a/pivot-2"}).explore_path, "/team_a/pivot-2");
}

TEST(ServerSettingsTest, DefaultsServeTheSiteOnTheLoopback) {
  ServerSettings settings = ParseServerArguments({});
  EXPECT_EQ(settings.port, 8080);
  EXPECT_EQ(settings.bind, "127.0.0.1");
  EXPECT_EQ(settings.page, "/");
  EXPECT_EQ(settings.query_timeout_seconds, 60);
  EXPECT_EQ(settings.max_statement_memory, 512 * 1024 * 1024);
  EXPECT_FALSE(settings.locale.has_value());
  EXPECT_FALSE(settings.views_dir.has_value());
  EXPECT_TRUE(ParseServerArguments({"--help"}).show_help);
}

TEST(ServerSettingsTest, RefusesWhatCannotBeUsed) {
  const std::vector<std::vector<std::string>> cases = {
      {"--port", "65536"},          {"--port", "-1"},          {"--port", "80x"},
      {"--port"},                   {"--threads", "0"},        {"--max-request-size", "0"},
      {"--lang", "de"},             {"--hide", "everything"},  {"--data-source", "nameonly"},
      {"--data-source", "=/dir"},   {"--data-source", "x="},   {"--page", "relative"},
      {"--page", "/a?b"},           {"--max-folder-depth", ""}, {"--unknown", "1"},
      {"stray"},                    {"--file-extension", "a.b"}, {"--file-extension", ""},
      {"--max-cells", "0"},           {"--query-timeout", "-1"},  {"--query-timeout", "1.5"},
      {"--max-statement-memory", "512MB"},
      {"--explore-path", "explore"}, {"--explore-path", "/"},       {"--explore-path", "/a/"},
      {"--explore-path", "/a\"b"},  {"--explore-path", "/a<b"},    {"--explore-path", "/a/../b"},
  };
  for (const auto& arguments : cases) {
    std::string joined;
    for (const auto& argument : arguments) joined += argument + " ";
    SCOPED_TRACE(joined);
    EXPECT_THROW(ParseServerArguments(arguments), UsageError);
  }
}

TEST(ServerSettingsTest, EventLogRotationSizeDefaultsToTenMegabytesAndZeroTurnsItOff) {
  EXPECT_EQ(ParseServerArguments({}).event_log_max_bytes, 10u * 1024 * 1024);
  EXPECT_EQ(ParseServerArguments({"--event-log-max-bytes", "4096"}).event_log_max_bytes, 4096u);
  EXPECT_EQ(ParseServerArguments({"--event-log-max-bytes=0"}).event_log_max_bytes, 0u);
  for (const auto& value : {"-1", "10MB", ""}) {
    SCOPED_TRACE(value);
    EXPECT_THROW(ParseServerArguments({"--event-log-max-bytes", value}), UsageError);
  }
}

}  // namespace
}  // namespace orvex::host

namespace orvex::host {
namespace {

TEST(ServerSettingsTest, DataSourcesOnXmlaServersAreCheckedAndReplaceFoldersOfTheirName) {
  ServerSettings settings = ParseServerArguments(
      {"--data-source", "Remote=/data/old", "--data-source", "Far=xmla:http://127.0.0.1:9/xmla;Catalog=Sales",
       "--data-source", "remote=XMLA:http://olap:8080/xmla", "--data-source", "far=/data/far"});
  using Source = std::pair<std::string, std::filesystem::path>;
  EXPECT_EQ(settings.data_sources, (std::vector<Source>{{"far", "/data/far"}}));
  using Remote = std::pair<std::string, std::string>;
  EXPECT_EQ(settings.xmla_data_sources, (std::vector<Remote>{{"remote", "XMLA:http://olap:8080/xmla"}}));
  for (const char* bad : {"Remote=xmla:https://olap/xmla", "Remote=xmla:http://olap/x;Port=1"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW((void)ParseServerArguments({"--data-source", bad}), UsageError);
  }
}

}  // namespace
}  // namespace orvex::host
