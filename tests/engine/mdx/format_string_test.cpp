#include "engine/eval/format_string.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvex::engine {
namespace {

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
  EXPECT_EQ(FormatCellValue(Scalar(std::numeric_limits<double>::denorm_min()), "Scientific"), "4.94E-324");
  EXPECT_EQ(FormatCellValue(Scalar(std::numeric_limits<double>::max()), "Scientific"), "1.80E+308");
  // Scaled past a double's range by the pattern itself, the number is an error value too.
  EXPECT_EQ(FormatCellValue(Scalar(5.0), "0" + std::string(200, '%')), "Infinity");
  EXPECT_EQ(FormatCellValue(Scalar(-5.0), "0" + std::string(200, '%')), "-Infinity");
  std::string huge = FormatCellValue(Scalar(1e308), "0");
  EXPECT_EQ(huge.size(), 309u);
  EXPECT_EQ(huge.front(), '1');
}

}  // namespace
}  // namespace orvex::engine
