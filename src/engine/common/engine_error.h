#pragma once
#include <cstdint>
#include <string>

#include "platform/com/com_error.h"

namespace orvex::engine {

// The number the engine raises for every failure of its own (an unknown
// catalog, a broken schema, a store error): the OLE DB "unspecified error".
inline constexpr int32_t kEngineErrorNumber = static_cast<int32_t>(0x80004005u);
// The source of the engine's errors.
inline constexpr const char* kEngineErrorSource = "Orvex Engine";

// A ComError of the engine carrying `description`.
ComError EngineError(std::string description);

}  // namespace orvex::engine
