#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace orvex {

// Appends events to a log file, by default "events.log" beside the module that
// holds this class. Each event is one record written with a single append, so
// records of concurrent writers, threads or processes, never interleave. No
// member ever throws: an event that cannot be written is lost. One instance
// per thread of use.
//
// A record is a header line "=== <time> <type> (process P, thread T) ===",
// the description's lines, and an empty line. Control characters other than
// the line breaks (LF or CR LF) are written as escapes (\t, \r, \x1b,
// \u0085, ...), and a line of the description that begins with "=" has it
// written as \x3d: only a header line begins with "=", and no description
// moves a terminal's cursor.
//
// A log file that would grow past MaxBytes is rotated first: it becomes
// "<path>.1", the older ones move on to ".2" up to ".<kKeptFiles>" (the oldest
// is dropped), and the record starts a new file. Writers of every process
// rotate one at a time; a record that races a rotation lands whole in one file.
class EventLog {
 public:
  static constexpr int32_t kError = 1;
  static constexpr int32_t kInformation = 4;
  // Rotated files kept beside the current one.
  static constexpr int kKeptFiles = 3;
  static constexpr uint64_t kDefaultMaxBytes = 10 * 1024 * 1024;

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

  // The size past which every EventLog of the process rotates its file; 0 never rotates.
  static void SetMaxBytes(uint64_t max_bytes);
  static uint64_t MaxBytes();

  // `text` with every control character written as an escape, line breaks
  // included: for one value inside a record, such as an error's description.
  // Bytes that are not UTF-8 are written as \xHH; other text is unchanged.
  static std::string EscapeControlCharacters(std::string_view text);

 private:
  std::string path_;
  int32_t mode_ = 0;
};

}  // namespace orvex
