#include "errors/event_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/runtime/runtime.h"
#include "platform/text.h"

namespace orvex {
namespace {

std::atomic<uint64_t>& MaxBytesSetting() {
  static std::atomic<uint64_t> max_bytes{EventLog::kDefaultMaxBytes};
  return max_bytes;
}

std::string TypeName(int32_t type) {
  switch (type) {
    case EventLog::kError: return "Error";
    case 2: return "Warning";
    case EventLog::kInformation: return "Information";
    default: return "Type " + std::to_string(type);
  }
}

// Appends `text` escaped; with `keep_line_feeds`, line breaks (LF or CR LF) become plain line feeds.
void AppendEscaped(std::string& into, std::string_view text, bool keep_line_feeds) {
  char escape[16];
  for (size_t at = 0; at < text.size();) {
    size_t start = at;
    auto code = NextUtf8Character(text, at);
    if (!code) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[start]));
      into.append(escape);
    } else if (*code == '\n' && keep_line_feeds) {
      into.push_back('\n');
    } else if (*code == '\r' && keep_line_feeds && at < text.size() && text[at] == '\n') {
      // The CR of a CR LF: the line feed that follows makes the break.
    } else if (*code == '\n') {
      into.append("\\n");
    } else if (*code == '\r') {
      into.append("\\r");
    } else if (*code == '\t') {
      into.append("\\t");
    } else if (*code < 0x20 || *code == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(*code));
      into.append(escape);
    } else if ((*code >= 0x80 && *code <= 0x9F) || *code == 0x2028 || *code == 0x2029) {
      // C1 controls and the Unicode line separators break lines in some viewers.
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(*code));
      into.append(escape);
    } else {
      into.append(text.substr(start, at - start));
    }
  }
}

// One record: the header line, the description's lines, an empty line. Only
// a header line begins with "=": a line of the description that would is
// written with that character escaped.
std::string BuildRecord(std::string_view description, int32_t type) {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
  std::string record = "=== ";
  record.append(stamp).append(" ").append(TypeName(type));
  record.append(" (process ").append(std::to_string(getpid()));
  record.append(", thread ").append(std::to_string(runtime::GetCurrentThreadId())).append(") ===\n");
  std::string body;
  AppendEscaped(body, description, true);
  for (const auto& line : Split(body, "\n")) {
    if (line.starts_with('=')) {
      record.append("\\x3d").append(line, 1);
    } else {
      record.append(line);
    }
    record.push_back('\n');
  }
  record.push_back('\n');
  return record;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// "<path>.<index>"
std::string RotatedPath(const std::string& path, int index) { return path + "." + std::to_string(index); }

// Moves the current file to ".1" and each older one a place on.
void Rotate(const std::string& path) {
  for (int index = EventLog::kKeptFiles - 1; index >= 1; --index) {
    (void)::rename(RotatedPath(path, index).c_str(), RotatedPath(path, index + 1).c_str());
  }
  if (EventLog::kKeptFiles >= 1) {
    (void)::rename(path.c_str(), RotatedPath(path, 1).c_str());
  } else {
    (void)::unlink(path.c_str());
  }
}

// Appends `record` to the file at `path` with one write, rotating first when
// the file would outgrow `max_bytes`.
void AppendRecord(const std::string& path, std::string_view record, uint64_t max_bytes) {
  constexpr int kAttempts = 4;
  for (int attempt = 1;; ++attempt) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    struct stat opened {};
    bool full = max_bytes > 0 && ::fstat(fd, &opened) == 0 && opened.st_size > 0 &&
                static_cast<uint64_t>(opened.st_size) + record.size() > max_bytes;
    // A record larger than the limit, or writers that keep filling the new
    // file first, end the rotating: the record is written all the same.
    if (full && attempt < kAttempts) {
      // Every writer that found this file full has it open, so a lock on it
      // lets one of them rotate; the others then find the name on a new file
      // and write there.
      struct stat named {};
      if (::flock(fd, LOCK_EX) == 0 && ::stat(path.c_str(), &named) == 0 && SameFile(named, opened)) Rotate(path);
      ::close(fd);
      continue;
    }
    // O_APPEND makes the offset and the write one step, so a single write is one unbroken record.
    ssize_t written = ::write(fd, record.data(), record.size());
    (void)written;
    ::close(fd);
    return;
  }
}

}  // namespace

EventLog::EventLog() { SetLogFilePath(DefaultPath()); }

std::string EventLog::DefaultPath() {
  try {
    if (const char* configured = std::getenv("ORVEX_EVENT_LOG"); configured && *configured) return configured;
    return (runtime::ModuleFolder(reinterpret_cast<const void*>(&EventLog::DefaultPath)) / "events.log").string();
  } catch (...) {
    return "events.log";
  }
}

void EventLog::SetLogFilePath(std::string path) {
  try {
    path_ = std::move(path);
  } catch (...) {
  }
}

void EventLog::SetMaxBytes(uint64_t max_bytes) { MaxBytesSetting().store(max_bytes); }

uint64_t EventLog::MaxBytes() { return MaxBytesSetting().load(); }

std::string EventLog::EscapeControlCharacters(std::string_view text) {
  std::string escaped;
  try {
    escaped.reserve(text.size());
    AppendEscaped(escaped, text, false);
  } catch (...) {
  }
  return escaped;
}

void EventLog::LogEvent(std::string_view description, int32_t type) {
  try {
    AppendRecord(path_, BuildRecord(description, type), MaxBytes());
  } catch (...) {
  }
}

}  // namespace orvex
