#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace orvex {

// Appends events to a log file, by default "events.log" beside the module that
// holds this class. Each event is one record written with a single append, so
// records of concurrent writers never interleave. No member ever throws: an
// event that cannot be written is lost. One instance per thread of use.
class EventLog {
 public:
  static constexpr int32_t kError = 1;
  static constexpr int32_t kInformation = 4;

  EventLog();

  void SetLogFilePath(std::string path);
  std::string LogFilePath() const { return path_; }
  // Stored and returned; it changes nothing about where events go.
  void SetLogMode(int32_t mode) { mode_ = mode; }
  int32_t LogMode() const { return mode_; }

  void LogEvent(std::string_view description, int32_t type);

  // The default log file; the ORVEX_EVENT_LOG environment variable, when set,
  // names another file (tests use it to keep their events apart).
  static std::string DefaultPath();

 private:
  std::string path_;
  int32_t mode_ = 0;
};

}  // namespace orvex
