#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

class EventLog;

// Builds error sources and error reports. Holds no state; any thread may use
// any instance, and the static members need none. Nothing here ever throws.
class ErrorBuilder {
 public:
  // `source`, CR LF, "in ", `module`, ".", `procedure`: one more line of the
  // error-source trail. Nothing is trimmed; empty arguments are joined as they are.
  static std::string AppendToErrorSource(std::string_view source, std::string_view module,
                                         std::string_view procedure);

  // The multi-line report of an error: time, tick counter, description,
  // number, source, thread, module handle and account name between two rules.
  static std::string BuildErrorString(int32_t number, std::string_view source, std::string_view description);

  // Builds the report and logs it on `event_log` as an error event; a null log
  // or a failing log is ignored.
  static void LogError(EventLog* event_log, int32_t number, std::string_view source,
                       std::string_view description);

  // The process's account name as the report shows it: empty when the name is
  // longer than 24 characters (the platform's buffer holds no more).
  static std::string CurrentUserName();
};

}  // namespace orvex
