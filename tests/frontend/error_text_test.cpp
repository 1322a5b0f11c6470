#include "html/error_text.h"

#include <gtest/gtest.h>

namespace orvex::frontend {
namespace {

constexpr const char* kLog = " The event log has the details.";

TEST(ErrorTextTest, WhereTheDataIsKeptIsNeverShown) {
  struct Case {
    std::string description;
    std::string catalog;
    std::string shown;
  };
  const Case cases[] = {
      {"The catalog 'Sales' cannot be opened: The data file '/srv/orvex/Sales/data.duckdb' could not be opened: "
       "IO Error",
       "", std::string("The catalog 'Sales' cannot be opened.") + kLog},
      {"The catalog 'Sales' cannot reach its data: Cannot connect to the PostgreSQL server: connection to server at "
       "\"db.internal\" (10.1.2.3), port 5432 failed",
       "Sales", std::string("The catalog 'Sales' cannot reach its data.") + kLog},
      {"The schema file 'C:\\cubes\\Sales\\schema.xml' cannot be read.", "Sales",
       std::string("The catalog 'Sales' cannot be used.") + kLog},
      {"The connection to the PostgreSQL server was lost: server closed the connection", "",
       std::string("The data of this view cannot be reached.") + kLog},
      // What the user asked for is shown as it is, a division included.
      {"The member '[Time].[2031]' does not exist.", "Sales", "The member '[Time].[2031]' does not exist."},
      {"Syntax error at position 12 near '/': [Measures].[A] / [Measures].[B]", "Sales",
       "Syntax error at position 12 near '/': [Measures].[A] / [Measures].[B]"},
      {"The cube 'Warehouse' does not exist in the catalog 'Sales'.", "Sales",
       "The cube 'Warehouse' does not exist in the catalog 'Sales'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(PageErrorText(c.description, c.catalog), c.shown);
  }
}

}  // namespace
}  // namespace orvex::frontend
