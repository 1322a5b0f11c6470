#include "engine/common/engine_error.h"

namespace orvex::engine {

ComError EngineError(std::string description) {
  return ComError(kEngineErrorNumber, kEngineErrorSource, std::move(description));
}

}  // namespace orvex::engine
