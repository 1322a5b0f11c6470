#include "errors/event_log.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "errors/error_builder.h"
#include "support/temp_dir.h"
#include "support/text_file.h"

namespace orvex {
namespace {

using testing::ReadTextFile;
using testing::TempDir;

// The records of a log text: each header line with the lines below it.
struct Record {
  std::string header;
  std::vector<std::string> lines;
};

std::vector<Record> RecordsOf(const std::string& text) {
  std::vector<Record> records;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("=== ", 0) == 0) {
      records.push_back({line, {}});
    } else if (!line.empty() && !records.empty()) {
      records.back().lines.push_back(line);
    }
  }
  return records;
}

// Sets the process's rotation size for one test and puts the default back.
class MaxBytesForTest {
 public:
  explicit MaxBytesForTest(uint64_t max_bytes) { EventLog::SetMaxBytes(max_bytes); }
  ~MaxBytesForTest() { EventLog::SetMaxBytes(EventLog::kDefaultMaxBytes); }
};

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

TEST(EventLogTest, ControlCharactersAreEscapedOneForOne) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text, Umsätze 売上", "plain text, Umsätze 売上"},
      {"a\r\nb\nc\rd", "a\\r\\nb\\nc\\rd"},
      {"tab\there", "tab\\there"},
      {"\x1b[2J\x7f", "\\x1b[2J\\x7f"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"\xc2\x85next\xe2\x80\xa8line", "\\u0085next\\u2028line"},
      {"\xff\xfe", "\\xff\\xfe"},
  };
  for (const auto& [text, escaped] : cases) {
    SCOPED_TRACE(escaped);
    EXPECT_EQ(EventLog::EscapeControlCharacters(text), escaped);
  }
}

// What a client sends can reach the log inside an error's description; it must
// not be able to add a record or a line of its own.
TEST(EventLogTest, NoDescriptionCanForgeARecordOrAReportLine) {
  TempDir dir;
  const auto path = (dir / "events.log").string();
  EventLog log;
  log.SetLogFilePath(path);
  const std::string forged = "=== 2026-01-01 00:00:00.000 Error (process 1, thread 1) ===";
  log.LogEvent("first\r\n" + forged + "\nUser: admin\x1b[1A", EventLog::kInformation);
  ErrorBuilder::LogError(&log, 5, "Halvern\r\nin Orvex.WriteView", "No view\r\n\r\n" + forged + "\r\nNumber: 0");

  auto records = RecordsOf(ReadTextFile(path));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].lines,
            (std::vector<std::string>{"first", "\\x3d" + forged.substr(1), "User: admin\\x1b[1A"}));
  std::vector<std::string> report;
  for (const auto& line : records[1].lines) {
    if (line.rfind("Description:", 0) == 0 || line.rfind("Number:", 0) == 0 || line.rfind("Source:", 0) == 0 ||
        line.rfind("in ", 0) == 0) {
      report.push_back(line);
    }
  }
  EXPECT_EQ(report, (std::vector<std::string>{"Description: No view\\r\\n\\r\\n" + forged + "\\r\\nNumber: 0",
                                              "Number: 5", "Source: Halvern", "in Orvex.WriteView"}));
}

TEST(EventLogTest, AFullLogIsRotatedKeepingThreeOldFiles) {
  TempDir dir;
  const auto path = (dir / "events.log").string();
  MaxBytesForTest limit(1000);
  EventLog log;
  log.SetLogFilePath(path);
  // Each record is a little over 300 bytes, so three fit in a file.
  for (int event = 0; event < 20; ++event) log.LogEvent("event " + std::to_string(event) + std::string(230, '.'), 4);

  for (const auto& name : {"events.log", "events.log.1", "events.log.2", "events.log.3"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(std::filesystem::exists(dir / name));
    EXPECT_LE(std::filesystem::file_size(dir / name), 1000u);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "events.log.4"));
  auto newest = RecordsOf(ReadTextFile(path));
  ASSERT_FALSE(newest.empty());
  EXPECT_EQ(newest.back().lines[0].substr(0, 8), "event 19");
  auto oldest = RecordsOf(ReadTextFile(dir / "events.log.3"));
  ASSERT_EQ(oldest.size(), 3u);
  EXPECT_EQ(oldest.front().lines[0].substr(0, 7), "event 9");

  // A record larger than the limit still goes out whole, in a file of its own.
  log.LogEvent(std::string(3000, 'x'), 4);
  EXPECT_EQ(RecordsOf(ReadTextFile(path)).size(), 1u);
  EXPECT_EQ(RecordsOf(ReadTextFile(dir / "events.log.1")).back().lines[0].substr(0, 8), "event 19");

  EventLog::SetMaxBytes(0);
  for (int event = 0; event < 10; ++event) log.LogEvent(std::string(300, 'y'), 4);
  EXPECT_EQ(RecordsOf(ReadTextFile(path)).size(), 11u);
}

// Threads of several processes write while the log rotates under them: every
// record lands whole, once, in one of the files.
TEST(EventLogTest, WritersOfSeveralProcessesLoseNoRecordAcrossRotations) {
  TempDir dir;
  const auto path = (dir / "events.log").string();
  constexpr int kProcesses = 3;
  constexpr int kThreads = 3;
  constexpr int kEvents = 100;
  constexpr int kBody = 60;
  // About 130 kB in all, in files of 36 kB: three rotated files hold at least
  // 107 kB, so nothing may be dropped.
  MaxBytesForTest limit(36 * 1024);
  auto write_events = [&](int process) {
    std::vector<std::thread> writers;
    for (int thread = 0; thread < kThreads; ++thread) {
      writers.emplace_back([&, thread] {
        EventLog log;
        log.SetLogFilePath(path);
        for (int event = 0; event < kEvents; ++event) {
          std::string id = std::to_string(process) + "/" + std::to_string(thread) + "/" + std::to_string(event);
          log.LogEvent(id + " " + std::string(kBody, static_cast<char>('a' + thread)), EventLog::kInformation);
        }
      });
    }
    for (auto& writer : writers) writer.join();
  };
  std::vector<pid_t> children;
  for (int process = 1; process < kProcesses; ++process) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      write_events(process);
      ::_exit(0);
    }
    children.push_back(child);
  }
  write_events(0);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  ASSERT_TRUE(std::filesystem::exists(dir / "events.log.1")) << "never rotated";
  std::map<std::string, int> seen;
  for (const auto& name : {"events.log", "events.log.1", "events.log.2", "events.log.3"}) {
    if (!std::filesystem::exists(dir / name)) continue;
    for (const auto& record : RecordsOf(ReadTextFile(dir / name))) {
      ASSERT_EQ(record.lines.size(), 1u) << name;
      const auto& line = record.lines[0];
      auto blank = line.find(' ');
      ASSERT_NE(blank, std::string::npos);
      EXPECT_EQ(line.size(), blank + 1 + kBody) << "record broken: " << line;
      EXPECT_EQ(line.find_first_not_of(line.back(), blank + 1), std::string::npos) << "records interleaved";
      ++seen[line.substr(0, blank)];
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kProcesses * kThreads * kEvents));
  for (const auto& [id, count] : seen) EXPECT_EQ(count, 1) << id;
}

}  // namespace
}  // namespace orvex
