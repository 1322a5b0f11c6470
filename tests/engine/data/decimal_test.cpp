#include "engine/common/decimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <unordered_set>

namespace orvex::engine {
namespace {

Decimal Exact(const char* text) {
  auto value = Decimal::Parse(text);
  EXPECT_TRUE(value) << text;
  return value.value_or(Decimal{});
}

TEST(DecimalTest, ParsesPlainFiguresOnly) {
  struct Case {
    const char* text;
    const char* exact;  // nullptr: refused
  } cases[] = {
      {"12.30", "12.30"},
      {" -0.05 ", "-0.05"},
      {"+7", "7"},
      {".5", "0.5"},
      {"5.", "5"},
      {"0000000000000000000000000000000000000000001.5", "1.5"},
      {"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
      {"999999999999999999999999999999999999999", nullptr},  // 39 digits
      {"1e5", nullptr},
      {"NaN", nullptr},
      {"", nullptr},
      {".", nullptr},
      {"-", nullptr},
      {"1.2.3", nullptr},
      {"1,5", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto value = Decimal::Parse(c.text);
    ASSERT_EQ(value.has_value(), c.exact != nullptr);
    if (value) {
      EXPECT_EQ(value->ToText(), c.exact);
    }
  }
}

TEST(DecimalTest, SumsAreExactInAnyOrderAndRefuseOverflow) {
  // 0.1 + 0.2 in doubles is 0.30000000000000004; here it is 0.3, either way round.
  EXPECT_EQ(Add(Exact("0.1"), Exact("0.2"))->ToText(), "0.3");
  EXPECT_EQ(Add(Exact("1234567.89"), Exact("0.001"))->ToText(), "1234567.891");
  EXPECT_EQ(Add(Exact("0.001"), Exact("1234567.89"))->ToText(), "1234567.891");
  EXPECT_EQ(Add(Exact("-2.50"), Exact("2.5"))->ToText(), "0.00");
  Decimal huge = Exact("99999999999999999999999999999999999999");
  EXPECT_EQ(Add(huge, Exact("-1"))->ToText(), "99999999999999999999999999999999999998");
  EXPECT_FALSE(Add(huge, huge));          // past 128 bits
  EXPECT_FALSE(Add(huge, Exact("0.1")));  // widening to one decimal overflows

  // Mixed with a double the sum is a double; decimals that overflow fall back to one too.
  CellNumber sum = Add(CellNumber(Exact("0.1")), CellNumber(0.25));
  ASSERT_TRUE(std::holds_alternative<double>(sum));
  EXPECT_EQ(std::get<double>(sum), 0.35);
  CellNumber wide_sum = Add(CellNumber(huge), CellNumber(huge));
  ASSERT_TRUE(std::holds_alternative<double>(wide_sum));
  EXPECT_EQ(std::get<double>(wide_sum), 2e38);
}

TEST(DecimalTest, EqualValuesCompareAndHashAlikeWhateverTheirScale) {
  EXPECT_EQ(Exact("2.5"), Exact("2.500"));
  EXPECT_EQ(std::hash<Decimal>()(Exact("2.5")), std::hash<Decimal>()(Exact("2.500")));
  EXPECT_EQ(std::hash<Decimal>()(Exact("0")), std::hash<Decimal>()(Exact("-0.00")));
  EXPECT_LT(Exact("-3"), Exact("-2.99"));
  EXPECT_LT(Exact("2.49"), Exact("2.5"));
  // Too wide to bring to a common scale: the wider one is larger in magnitude.
  Decimal wide = Exact("99999999999999999999999999999999999999");
  Decimal fine = Exact("0.00000000000000000000000000000000000001");
  EXPECT_GT(wide, fine);
  Decimal negative_wide{-wide.unscaled, 0};
  EXPECT_LT(negative_wide, fine);
  std::unordered_set<Decimal> set{Exact("1.10"), Exact("1.1"), Exact("1.100")};
  EXPECT_EQ(set.size(), 1u);
}

TEST(DecimalTest, ConvertsToTheNearestDoubleAndShortText) {
  for (const char* text : {"0.1", "1234567.89", "-0.125", "123456789012345678901234.5678", "0.00000000000000000000001",
                           "9007199254740993"}) {
    SCOPED_TRACE(text);
    double nearest = 0;
    std::string digits = text;
    std::from_chars(digits.data(), digits.data() + digits.size(), nearest);
    EXPECT_EQ(Exact(text).ToDouble(), nearest);
  }
  EXPECT_EQ(ShortText(Exact("1997.00")), "1997");
  EXPECT_EQ(ShortText(Exact("12.250")), "12.25");
  EXPECT_EQ(ShortText(Exact("-0.00")), "0");
  EXPECT_EQ(ShortText(Exact("12345678901234567.80")), "12345678901234567.8");
}

}  // namespace
}  // namespace orvex::engine
