#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com_error.h"

namespace orvex::engine {

// The error number of every failure the engine reports for a statement (the
// provider's generic failure), and the first line of its source.
inline constexpr int32_t kErrStatement = static_cast<int32_t>(0x80004005u);
inline constexpr const char* kEngineSource = "Orvex Engine";

// A ComError for a statement that cannot be parsed or evaluated; the
// description says what went wrong and, where known, where.
inline ComError StatementError(std::string description) {
  return ComError(kErrStatement, kEngineSource, std::move(description));
}

}  // namespace orvex::engine
