#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"

namespace orvex {
namespace {

int ErrorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ComError& error) {
    return error.number();
  }
  return 0;
}

TEST(VariantTest, NumbersRoundTripThroughTextWithAFullStop) {
  for (double value : {0.1, 100.0, -2.5, 1.0 / 3.0, 1e20, 123456789.125, 5e-324}) {
    SCOPED_TRACE(value);
    std::string text = FormatNumber(value);
    EXPECT_EQ(text.find(','), std::string::npos);
    EXPECT_EQ(*ParseNumber(text), value);
  }
  EXPECT_EQ(FormatNumber(100), "100");
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(0.5), "0.5");
}

TEST(VariantTest, ParseNumberTakesOnlyWholeNumericText) {
  EXPECT_EQ(ParseNumber(" 12 "), 12);
  EXPECT_EQ(ParseNumber("+3.5"), 3.5);
  EXPECT_EQ(ParseNumber("-1e3"), -1000);
  for (const char* text : {"", "  ", "12abc", "abc", "1,5", "+", "--1", "inf", "nan"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseNumber(text).has_value());
  }
}

TEST(VariantTest, ConversionsFollowThePlatformRules) {
  EXPECT_EQ(Variant("12").ToDouble(), 12);
  EXPECT_EQ(Variant(2.5).ToLong(), 2);  // halves round to even
  EXPECT_EQ(Variant(3.5).ToLong(), 4);
  EXPECT_TRUE(Variant("TRUE").ToBool());
  EXPECT_FALSE(Variant("false").ToBool());
  EXPECT_TRUE(Variant("-1").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant().ToString(), "");

  EXPECT_EQ(ErrorNumberOf([] { (void)Variant("abc").ToDouble(); }), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)Variant("yes").ToBool(); }), errors::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { (void)Variant::Null().ToString(); }), errors::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { (void)Variant(3e10).ToLong(); }), errors::kOverflow);
}

TEST(VariantTest, IsNumericAndTypeNames) {
  EXPECT_TRUE(Variant().IsNumeric());
  EXPECT_TRUE(Variant(" 4.5 ").IsNumeric());
  EXPECT_FALSE(Variant("4.5x").IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_FALSE(Variant("7").HoldsNumber());
  EXPECT_EQ(Variant::Nothing().TypeName(), "Nothing");
  EXPECT_EQ(Variant("x").TypeName(), "String");
  EXPECT_EQ(Variant(Variant::Array{}).TypeName(), "Variant()");
}

}  // namespace
}  // namespace orvex
