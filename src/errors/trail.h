#pragma once
#include <exception>
#include <string_view>
#include <utility>

#include "errors/error_builder.h"
#include "platform/com/com_error.h"

namespace orvex {

// Runs `body` as the procedure `module`.`procedure`: an error leaving it keeps
// its number and description and gains one source line, "in module.procedure".
// Any other exception becomes the platform's internal error on the way. Every
// procedure that the error trail names runs its body through this, e.g.
//   return Trail("CubeView", "ToXML", [&] { ... });
template <class Body>
decltype(auto) Trail(std::string_view module, std::string_view procedure, Body&& body) {
  try {
    return std::forward<Body>(body)();
  } catch (ComError& error) {
    error.set_source(ErrorBuilder::AppendToErrorSource(error.source(), module, procedure));
    throw;
  } catch (const std::exception& error) {
    throw ComError(errors::kInternalError, ErrorBuilder::AppendToErrorSource("", module, procedure), error.what());
  }
}

}  // namespace orvex
