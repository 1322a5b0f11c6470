#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/com/com_error.h"

namespace orvex::olap::testing {

// Runs `body`, expecting a ComError with `number`, and returns it for further checks.
template <class Body>
ComError ExpectComError(int32_t number, Body&& body) {
  try {
    body();
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), number) << error.description() << "\n" << error.source();
    return error;
  }
  ADD_FAILURE() << "no ComError " << number;
  return ComError(0, "", "");
}

}  // namespace orvex::olap::testing
