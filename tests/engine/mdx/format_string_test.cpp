#include "engine/eval/format_string.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvex::engine {
namespace {

// Dates come from the stores as ISO text, and from numbers as day counts
// from 1899-12-30 (35435 is 1997-01-05, a Sunday).
TEST(FormatStringTest, DatePatternsShowDateTextsAndDayCounts) {
  struct Case {
    Scalar value;
    const char* format;
    const char* text;
  } cases[] = {
      {std::string("1997-01-05"), "yyyy-mm-dd", "1997-01-05"},
      {std::string("1997-01-05"), "mmm d, yyyy", "Jan 5, 1997"},
      {std::string("1997-01-05"), "dddd, mmmm dd", "Sunday, January 05"},
      {std::string("1997-01-05"), "ddd d/m/yy", "Sun 5/1/97"},
      {std::string("1997-01-05"), "Long Date", "Sunday, January 5, 1997"},
      {std::string("1997-01-05"), "Medium Date", "05-Jan-97"},
      {std::string("1997-01-05"), "short date", "1/5/1997"},
      {std::string("1997-12-31"), "q y w ww", "4 365 4 53"},
      {std::string("1997-01-05"), "\"Day\" d \\m", "Day 5 m"},
      {std::string("2000-02-29 13:05:09"), "yy/m/d h:nn:ss AM/PM", "00/2/29 1:05:09 PM"},
      {std::string("2000-02-29 13:05:09"), "hh:mm", "13:05"},
      {std::string("2000-02-29T00:05:09.25"), "h:mm:ss a/p", "12:05:09 a"},
      {std::string("2000-02-29 13:05"), "Short Time", "13:05"},
      {35435.0, "yyyy-mm-dd", "1997-01-05"},
      {35435.75, "General Date", "1/5/1997 6:00:00 PM"},
      {*Decimal::Parse("35435.5"), "dd mmm hh:nn", "05 Jan 12:00"},
      // Texts that are no dates, and formats that are no date patterns, stay as they were.
      {std::string("North"), "yyyy", "North"},
      {std::string("1997-02-30"), "yyyy", "1997-02-30"},
      {std::string("1997-01-05 25:00"), "yyyy", "1997-01-05 25:00"},
      {35435.0, "#,##0 \"days\"", "35,435 days"},
      {35435.0, "Currency", "$35,435.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ScalarText(c.value) + " as " + c.format);
    EXPECT_EQ(FormatCellValue(c.value, c.format), c.text);
  }
}

TEST(FormatStringTest, NamedAndPatternFormats) {
  struct Case {
    double value;
    const char* format;
    const char* text;
  } cases[] = {
      {1234.5, "Standard", "1,234.50"},
      {-1234.567, "Standard", "-1,234.57"},
      {0, "Standard", "0.00"},
      {1234.5, "Currency", "$1,234.50"},
      {-1234.5, "Currency", "($1,234.50)"},
      {0.1234, "Percent", "12.34%"},
      {1234.5, "Fixed", "1234.50"},
      {2.675, "0.00", "2.68"},
      {0.125, "0.00", "0.13"},
      {9.995, "0.00", "10.00"},
      {1234.5, "#,###", "1,235"},
      {0, "#,###", ""},
      {999999.5, "#,###", "1,000,000"},
      {1234.5, "#,###.00", "1,234.50"},
      {0.5, "#,###.00", ".50"},
      {1234.567, "#,##0.00", "1,234.57"},
      {0.5, "#,##0.00", "0.50"},
      {0.1234, "0.0%", "12.3%"},
      {-0.1234, "0.0%", "-12.3%"},
      {-0.0001, "0.0%", "0.0%"},
      {97.2, "$#,##0.00", "$97.20"},
      {1234567, "#,##0,", "1,235"},
      {12345, "0.00E+00", "1.23E+04"},
      {0.000123, "0.0E-0", "1.2E-4"},
      {99999, "0.0E+0", "1.0E+5"},
      {5, "0.00;(0.00);\"zero\"", "5.00"},
      {-5, "0.00;(0.00);\"zero\"", "(5.00)"},
      {0, "0.00;(0.00);\"zero\"", "zero"},
      {7, "\"n=\"0", "n=7"},
      {7, "0 \\u", "7 u"},
      {3, "000", "003"},
      {1, "Yes/No", "Yes"},
      {0, "True/False", "False"},
      {1234.5, "", "1234.5"},
      {78, "", "78"},
      {1e20, "General Number", "1e+20"},
      {2.0 / 3, "", "0.666666666666667"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " of " + std::to_string(c.value));
    EXPECT_EQ(FormatCellValue(Scalar(c.value), c.format), c.text);
  }
}

Decimal Exact(const char* text) { return *Decimal::Parse(text); }

// Halves round away from zero, from the number's decimal digits: an exact
// decimal's own, and a double's shortest that read back as it. Each figure
// is given both ways and must show the same.
TEST(FormatStringTest, HalvesRoundAwayFromZeroFromTheDecimalDigits) {
  struct Case {
    const char* value;
    const char* format;
    const char* text;
  } cases[] = {
      {"2.675", "#,##0.00", "2.68"},
      {"-2.675", "#,##0.00", "-2.68"},
      {"-0.125", "0.00", "-0.13"},
      {"0.125", "0.00", "0.13"},
      {"0.285", "0.00", "0.29"},
      {"1.005", "0.00", "1.01"},
      {"1.015", "Standard", "1.02"},
      {"-1.015", "Currency", "($1.02)"},
      {"0.5", "0", "1"},
      {"-0.5", "0", "-1"},
      {"1.5", "#,###", "2"},
      {"2.5", "#,###", "3"},
      {"0.004", "0.00", "0.00"},
      {"-0.004", "0.00", "0.00"},
      {"0.005", "0.00", "0.01"},
      {"-0.005", "0.00", "-0.01"},
      {"0", "0.00", "0.00"},
      {"0.00", "0.00;(0.00);\"zero\"", "zero"},
      {"-0.004", "0.00;(0.00);\"zero\"", "(0.00)"},
      {"999.995", "#,##0.00", "1,000.00"},
      {"0.0005", "0.0%", "0.1%"},
      {"-0.00125", "0.00%", "-0.13%"},
      {"1234500", "#,##0,", "1,235"},
      {"9.995", "0.00E+00", "1.00E+01"},
            {"12345", "0.0E+00", "1.2E+04"},
      {"12350", "0.0E+00", "1.2E+04"},
  };
  for (const Case& c : cases) {
    auto exact = Decimal::Parse(c.value);
    ASSERT_TRUE(exact) << c.value;
    SCOPED_TRACE(std::string(c.format) + " of " + c.value);
    EXPECT_EQ(FormatCellValue(Scalar(*exact), c.format), c.text) << "exact";
    EXPECT_EQ(FormatCellValue(Scalar(exact->ToDouble()), c.format), c.text) << "double";
  }
}

// Past the 15 to 17 digits a double holds, only the exact value rounds right.
TEST(FormatStringTest, WideDecimalsKeepEveryDigit) {
  struct Case {
    const char* value;
    const char* format;
    const char* text;
  } cases[] = {
      {"123456789012345678.125", "#,##0.00", "123,456,789,012,345,678.13"},
      {"-123456789012345678.125", "#,##0.00", "-123,456,789,012,345,678.13"},
      {"98765432109876543.21", "", "98765432109876543.21"},
      {"98765432109876543.20", "General Number", "98765432109876543.2"},
      {"1234.50", "", "1234.5"},
      {"1997.00", "", "1997"},
      {"0.00", "Yes/No", "No"},
      {"0.01", "Yes/No", "Yes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " of " + c.value);
    EXPECT_EQ(FormatCellValue(Scalar(Exact(c.value)), c.format), c.text);
  }
  EXPECT_EQ(ScalarText(Scalar(Exact("1234.50"))), ScalarText(Scalar(1234.5)));
}

TEST(FormatStringTest, EmptyCellsAndTextsAreNotFormatted) {
  EXPECT_EQ(FormatCellValue(Scalar(), "Standard"), "");
  EXPECT_EQ(FormatCellValue(Scalar(std::string("a;b")), "#,###"), "a;b");
  EXPECT_EQ(FormatCellValue(Scalar(true), "Standard"), "True");
}

TEST(FormatStringTest, InfinitiesAndNaNShowAsErrorValuesWhateverTheFormat) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (const char* format : {"", "General Number", "Currency", "Percent", "Scientific", "Yes/No", "#,##0.00",
                             "0.00E+00", "#;(#);\"zero\"", "\"x\"0", "00000.###", "0.0;-0.0;0;\"n/a\"", "#.##e-0",
                             "\x7f"}) {
    SCOPED_TRACE(format);
    EXPECT_EQ(FormatCellValue(Scalar(kInfinity), format), "Infinity");
    EXPECT_EQ(FormatCellValue(Scalar(-kInfinity), format), "-Infinity");
    EXPECT_EQ(FormatCellValue(Scalar(std::nan("")), format), "NaN");
  }
  EXPECT_EQ(ScalarText(Scalar(-kInfinity)), "-Infinity");
}

// Every double with every kind of pattern, absurd ones included, gives a
// text and never a fault; under the sanitizers this also proves that no
// conversion on the way is undefined.
TEST(FormatStringTest, ExtremeNumbersAndPatternsFormatWithoutFault) {
  const double values[] = {std::numeric_limits<double>::max(),        std::numeric_limits<double>::lowest(),
                           std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::min(),        9.999999999999999e22,
                           0.5,                                       -0.0};
  const std::string formats[] = {"", "Currency", "Fixed", "Standard", "Percent", "Scientific", "Yes/No",
                                 "#,##0.00", "0.00E+00", "0.00E-00", "#;(#)", std::string(400, '0'),
                                 "0." + std::string(400, '0'), "0" + std::string(400, '%'),
                                 "0" + std::string(400, ','), std::string(400, '0') + ".0E+0",
                                 "0.0E+" + std::string(400, '0'), "\"" + std::string(50, ';') + "\""};
  for (double value : values) {
    for (const std::string& format : formats) {
      SCOPED_TRACE(std::to_string(value) + " with " + format.substr(0, 20));
      EXPECT_NO_THROW((void)FormatCellValue(Scalar(value), format));
    }
  }
  EXPECT_EQ(FormatCellValue(Scalar(std::numeric_limits<double>::denorm_min()), "Scientific"), "5.00E-324");
  EXPECT_EQ(FormatCellValue(Scalar(std::numeric_limits<double>::max()), "Scientific"), "1.80E+308");
  // Scaled past a double's range by the pattern itself, the digits stay exact.
  EXPECT_EQ(FormatCellValue(Scalar(5.0), "0" + std::string(200, '%')), "5" + std::string(400, '0') + std::string(200, '%'));
  EXPECT_EQ(FormatCellValue(Scalar(-5.0), "0" + std::string(200, '%')), "-5" + std::string(400, '0') + std::string(200, '%'));
  std::string huge = FormatCellValue(Scalar(1e308), "0");
  EXPECT_EQ(huge.size(), 309u);
  EXPECT_EQ(huge.front(), '1');
}

}  // namespace
}  // namespace orvex::engine
