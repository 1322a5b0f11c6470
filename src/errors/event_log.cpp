#include "errors/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

#include "platform/runtime/runtime.h"

namespace orvex {
namespace {

std::string TypeName(int32_t type) {
  switch (type) {
    case EventLog::kError: return "Error";
    case 2: return "Warning";
    case EventLog::kInformation: return "Information";
    default: return "Type " + std::to_string(type);
  }
}

// One record: a header line, the description with its line breaks made plain
// line feeds, and a blank line.
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
  for (size_t i = 0; i < description.size(); ++i) {
    if (description[i] == '\r' && i + 1 < description.size() && description[i + 1] == '\n') continue;
    record.push_back(description[i]);
  }
  record.append("\n\n");
  return record;
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

void EventLog::LogEvent(std::string_view description, int32_t type) {
  try {
    std::string record = BuildRecord(description, type);
    int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // O_APPEND makes the offset and the write one step, so a single write is one unbroken record.
    ssize_t written = ::write(fd, record.data(), record.size());
    (void)written;
    ::close(fd);
  } catch (...) {
  }
}

}  // namespace orvex
