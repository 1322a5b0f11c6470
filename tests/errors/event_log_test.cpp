#include "errors/event_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "errors/error_builder.h"
#include "support/text_file.h"

namespace orvex {
namespace {

using testing::ReadTextFile;

std::filesystem::path FreshLogPath(const std::string& name) {
  auto path = std::filesystem::temp_directory_path() / ("orvex-" + name + "-" + std::to_string(::getpid()) + ".log");
  std::filesystem::remove(path);
  return path;
}

TEST(EventLogTest, DefaultsBesideTheModuleAndKeepsTheMode) {
  const char* configured = std::getenv("ORVEX_EVENT_LOG");
  std::string saved = configured ? configured : "";
  ::unsetenv("ORVEX_EVENT_LOG");
  EXPECT_EQ(std::filesystem::path(EventLog::DefaultPath()).filename(), "events.log");
  if (configured) ::setenv("ORVEX_EVENT_LOG", saved.c_str(), 1);
  EventLog log;
  EXPECT_EQ(log.LogMode(), 0);
  log.SetLogMode(7);
  EXPECT_EQ(log.LogMode(), 7);
}

TEST(EventLogTest, ConcurrentWritersNeverInterleaveRecords) {
  auto path = FreshLogPath("concurrent");
  constexpr int kThreads = 8;
  constexpr int kEvents = 200;
  std::vector<std::thread> writers;
  for (int writer = 0; writer < kThreads; ++writer) {
    writers.emplace_back([&, writer] {
      EventLog log;
      log.SetLogFilePath(path.string());
      std::string body(2000, static_cast<char>('a' + writer));
      for (int event = 0; event < kEvents; ++event) log.LogEvent(body, EventLog::kError);
    });
  }
  for (auto& writer : writers) writer.join();

  std::istringstream lines(ReadTextFile(path));
  std::string line;
  int records = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("=== ", 0) == 0) {
      ++records;
      EXPECT_NE(line.find(" Error "), std::string::npos);
      std::string body;
      ASSERT_TRUE(std::getline(lines, body));
      ASSERT_EQ(body.size(), 2000u);
      EXPECT_EQ(body.find_first_not_of(body[0]), std::string::npos) << "records interleaved";
    }
  }
  EXPECT_EQ(records, kThreads * kEvents);
  std::filesystem::remove(path);
}

TEST(EventLogTest, UnwritablePathAndEmptyEventsNeverFail) {
  EventLog log;
  log.SetLogFilePath("/nonexistent-folder/for/sure/events.log");
  log.LogEvent("lost", EventLog::kInformation);

  auto path = FreshLogPath("empty");
  log.SetLogFilePath(path.string());
  log.LogEvent("", EventLog::kInformation);
  std::string text = ReadTextFile(path);
  EXPECT_NE(text.find("Information"), std::string::npos);
  std::filesystem::remove(path);
}

TEST(EventLogTest, ReportLinesBecomePlainLines) {
  auto path = FreshLogPath("report");
  EventLog log;
  log.SetLogFilePath(path.string());
  ErrorBuilder::LogError(&log, 5, "Halvern\r\nin Orvex.WriteInterface", "Broken");
  std::string text = ReadTextFile(path);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("Source: Halvern\nin Orvex.WriteInterface\n"), std::string::npos) << text;
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace orvex
