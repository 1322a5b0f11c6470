#include "export/excel_number_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvex::exports {
namespace {

TEST(ExcelNumberFormatTest, TranslatesNamedFormatsAndPatterns) {
  struct Case {
    const char* format_string;
    std::optional<std::string> excel;
  };
  const Case cases[] = {
      {"", std::nullopt},
      {"  General Number ", std::nullopt},
      {"Standard", "#,##0.00"},
      {"currency", "$#,##0.00;($#,##0.00)"},
      {"Percent", "0.00%"},
      {"Yes/No", "\"Yes\";\"Yes\";\"No\""},
      {"#,###.00", "#,###.00"},
      {"#,##0.0,,", "#,##0.0,,"},
      {"0.00E+00", "0.00E+00"},
      {"0.0e-0", "0.0E-0"},
      {"$#,##0.00;($#,##0.00);\"nil\"", "$#,##0.00;($#,##0.00);\"nil\""},
      // Letters would be date and time codes: they go in quotes.
      {"#,##0 units", "#,##0 \"units\""},
      {"#,##0 \\m", "#,##0 \"m\""},
      {"\xE2\x82\xAC #,##0.00", "\"\xE2\x82\xAC \"#,##0.00"},
      // A quote of the literal itself is escaped between quoted parts.
      {"0 \\\"x", "0 \\\"\"x\""},
      {"0;0;0;0", "0;0;0;0"},
      {"0;0;0;0;0", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format_string);
    EXPECT_EQ(ExcelNumberFormat(c.format_string), c.excel);
  }
}

}  // namespace
}  // namespace orvex::exports
