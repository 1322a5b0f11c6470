#include "errors/trail.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace orvex {
namespace {

int Inner() {
  return Trail("CubeView", "ToXML", []() -> int { throw ComError(5, "Tessel", "The XML document could not be loaded."); });
}

int Outer() { return Trail("View", "WriteXMLPage", [] { return Inner(); }); }

TEST(TrailTest, EachProcedureAddsOneLineAndKeepsNumberAndDescription) {
  try {
    Outer();
    FAIL();
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), 5);
    EXPECT_EQ(error.description(), "The XML document could not be loaded.");
    EXPECT_EQ(error.source(), "Tessel\r\nin CubeView.ToXML\r\nin View.WriteXMLPage");
  }
}

TEST(TrailTest, ValuesPassThroughAndForeignExceptionsBecomeComErrors) {
  EXPECT_EQ(Trail("M", "P", [] { return 42; }), 42);
  try {
    Trail("Globals", "Parse", []() -> void { throw std::runtime_error("boom"); });
    FAIL();
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), errors::kInternalError);
    EXPECT_EQ(error.description(), "boom");
    EXPECT_EQ(error.source(), "\r\nin Globals.Parse");
  }
}

}  // namespace
}  // namespace orvex
