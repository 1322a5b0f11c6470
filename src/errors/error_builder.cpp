#include "errors/error_builder.h"

#include <ctime>

#include "errors/event_log.h"
#include "platform/runtime/runtime.h"
#include "platform/text.h"

namespace orvex {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kRule = "-----------------------------------------------";

// "mm/dd/yyyy hh:nn:ss a" with a twelve-hour clock and "a" or "p".
std::string FormatReportTime(const std::tm& time) {
  int hour = time.tm_hour % 12;
  if (hour == 0) hour = 12;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d:%02d %c", time.tm_mon + 1, time.tm_mday,
                time.tm_year + 1900, hour, time.tm_min, time.tm_sec, time.tm_hour < 12 ? 'a' : 'p');
  return buffer;
}

}  // namespace

std::string ErrorBuilder::AppendToErrorSource(std::string_view source, std::string_view module,
                                              std::string_view procedure) {
  std::string result;
  result.reserve(source.size() + module.size() + procedure.size() + 6);
  result.append(source).append(kCrLf).append("in ").append(module).append(".").append(procedure);
  return result;
}

std::string ErrorBuilder::BuildErrorString(int32_t number, std::string_view source, std::string_view description) {
  std::string report;
  try {
    // The counters are read before the time, as the report has always done.
    std::string ticks = std::to_string(runtime::GetTickCount());
    std::string thread = std::to_string(runtime::GetCurrentThreadId());
    std::string instance = std::to_string(runtime::GetModuleHandle(reinterpret_cast<const void*>(&AppendToErrorSource)));
    std::time_t now = std::time(nullptr);
    std::tm local{};
    std::string time_text;
    if (localtime_r(&now, &local)) time_text = FormatReportTime(local);

    report.append(kCrLf).append(kCrLf);
    report.append(kRule).append(kCrLf);
    report.append("Time: ").append(time_text).append(kCrLf);
    report.append("Millisecond Counter: ").append(ticks).append(kCrLf).append(kCrLf);
    report.append("Description: ").append(description).append(kCrLf);
    report.append("Number: ").append(std::to_string(number)).append(kCrLf).append(kCrLf);
    report.append("Source: ").append(source).append(kCrLf).append(kCrLf);
    report.append("ThreadID: ").append(thread).append(kCrLf);
    report.append("hInstance: ").append(instance).append(kCrLf);
    report.append("User: ").append(CurrentUserName()).append(kCrLf);
    report.append(kRule);
  } catch (...) {
    // A report is best effort: whatever was built is returned.
  }
  return report;
}

void ErrorBuilder::LogError(EventLog* event_log, int32_t number, std::string_view source,
                            std::string_view description) {
  try {
    if (!event_log) return;
    // The values may carry what a client sent; escaped, they cannot add lines
    // to the report. The trail's own line breaks stay.
    std::string escaped_source;
    auto lines = Split(source, kCrLf);
    for (size_t index = 0; index < lines.size(); ++index) {
      if (index > 0) escaped_source.append(kCrLf);
      escaped_source.append(EventLog::EscapeControlCharacters(lines[index]));
    }
    event_log->LogEvent(
        BuildErrorString(number, escaped_source, EventLog::EscapeControlCharacters(description)), EventLog::kError);
  } catch (...) {
  }
}

std::string ErrorBuilder::CurrentUserName() {
  try {
    std::string name = runtime::AccountName();
    return name.size() > 24 ? std::string() : name;
  } catch (...) {
    return "Unknown";
  }
}

}  // namespace orvex
