#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api_service.h"
#include "export/csv_writer.h"
#include "export_test_support.h"
#include "xlsx_reader.h"

namespace orvex::api {
namespace {

const ApiService& Service() {
  static const ApiService* service = [] {
    testing::ServeTestCatalogs();
    ApiOptions options;
    options.default_data_source = "Tiny";
    options.data_sources = {"Tiny", "Odd"};
    return new ApiService(options);
  }();
  return *service;
}

ApiResponse Export(const std::string& format, const nlohmann::json& body) {
  ApiRequest request;
  request.method = "POST";
  request.call = "export";
  if (!format.empty()) request.params["format"] = format;
  request.body = body.is_string() ? body.get<std::string>() : body.dump();
  return Service().Handle(request);
}

std::string Header(const ApiResponse& response, const std::string& name) {
  for (const auto& [key, value] : response.headers) {
    if (key == name) return value;
  }
  return "";
}

constexpr const char* kMeasures =
    "SELECT {[Measures].[Unit Sales], [Measures].[Profit]} ON COLUMNS, {[Store].[USA].Children} ON ROWS FROM [Sales]";

TEST(ExportCallTest, AnswersTheFileOfTheStatementAsADownload) {
  ApiResponse csv = Export("csv", {{"mdx", kMeasures}});
  ASSERT_EQ(csv.status, 200) << csv.body;
  EXPECT_EQ(csv.content_type, "text/csv; charset=utf-8");
  EXPECT_EQ(Header(csv, "Content-Disposition"), "attachment; filename=\"export.csv\"");
  EXPECT_EQ(csv.body, exports::CellsetCsv(*testing::RunMdx(kMeasures)));

  ApiResponse xlsx = Export("XLSX", {{"dataSource", "Tiny"}, {"catalog", "Tiny"}, {"mdx", kMeasures}});
  ASSERT_EQ(xlsx.status, 200) << xlsx.body;
  EXPECT_EQ(xlsx.content_type, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
  EXPECT_EQ(Header(xlsx, "Content-Disposition"), "attachment; filename=\"Tiny.xlsx\"");
  testing::Sheet sheet = testing::ReadXlsx(xlsx.body);
  EXPECT_EQ(sheet.Find(0, 1)->value, "Unit Sales");
  EXPECT_EQ(sheet.frozen_rows, 1);
  EXPECT_EQ(sheet.frozen_columns, 1);
}

TEST(ExportCallTest, ExportsAViewDefinitionAsItsStatement) {
  const std::string view =
      "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
      "<measure>Unit Sales</measure><ranges/>"
      "<axes><axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
      "<axis><set><t><m>[Store].[USA].[CA]</m></t><t><m>[Store].[USA].[WA]</m></t></set></axis></axes></cubeView>";
  ApiResponse response = Export("csv", {{"view", view}});
  ASSERT_EQ(response.status, 200) << response.body;
  EXPECT_EQ(response.body, exports::CellsetCsv(*testing::RunMdx(
                               "SELECT {[Time].[1997], [Time].[1998]} ON COLUMNS, {[Store].[USA].[CA],"
                               " [Store].[USA].[WA]} ON ROWS FROM [Sales] WHERE [Measures].[Unit Sales]")));
  EXPECT_EQ(Export("csv", {{"view", view}, {"mdx", kMeasures}}).status, 400);
}

// The call asks for the cells' format strings, which a spreadsheet's number
// formats come from, unless the statement chose its cell properties.
TEST(ExportCallTest, XlsxNumberFormatsComeWithTheStatementUnlessItChoseItsCellProperties) {
  struct Case {
    const char* name;
    std::string mdx;
    const char* unit_sales_format;
  };
  const Case cases[] = {
      {"plain statement", kMeasures, "#,##0.00"},
      {"trailing line comment", std::string(kMeasures) + " -- a note", "#,##0.00"},
      {"own cell properties", std::string(kMeasures) + " cell\n properties VALUE", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponse response = Export("xlsx", {{"mdx", c.mdx}});
    ASSERT_EQ(response.status, 200) << response.body;
    const auto sheet = testing::ReadXlsx(response.body);  // the cell lives in it
    const testing::SheetCell* cell = sheet.Find(1, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->number_format, c.unit_sales_format);
  }
}

// A view's statement is built without cell properties (the classic page's
// statement); its export still carries each measure's format, stored or calculated.
TEST(ExportCallTest, XlsxOfAViewCarriesEachMeasuresNumberFormat) {
  const std::string head =
      "<cubeView><dataSource provider=\"MSOLAP\">Tiny</dataSource><catalog>Tiny</catalog><cube>Sales</cube>";
  const std::string rows =
      "<axes><axis><set><t><m>[Store].[USA].[CA]</m></t><t><m>[Store].[USA].[WA]</m></t></set></axis></axes>";
  struct Case {
    const char* name;
    std::string view;
    std::vector<const char*> formats;  // of the first data row's cells, left to right
  };
  const Case cases[] = {
      {"one measure in the slicer", head + "<measure>Store Sales</measure><ranges/>" + rows + "</cubeView>",
       {"#,###.00"}},
      {"stored and calculated measures on columns",
       head + "<measure>Unit Sales</measure><ranges/>" + rows +
           "<measures axis=\"0\"><m>[Measures].[Unit Sales]</m><m>[Measures].[Profit]</m></measures></cubeView>",
       {"#,##0.00", "$#,##0.00"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponse response = Export("xlsx", {{"view", c.view}});
    ASSERT_EQ(response.status, 200) << response.body;
    const auto sheet = testing::ReadXlsx(response.body);
    for (size_t column = 0; column < c.formats.size(); ++column) {
      SCOPED_TRACE(column);
      const testing::SheetCell* cell = sheet.Find(sheet.frozen_rows, sheet.frozen_columns + static_cast<int>(column));
      ASSERT_NE(cell, nullptr);
      EXPECT_FALSE(cell->value.empty());
      EXPECT_EQ(cell->number_format, c.formats[column]);
    }
  }
}

TEST(ExportCallTest, RefusesBadRequestsWithTheirReason) {
  struct Case {
    const char* name;
    std::string format;
    nlohmann::json body;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {"no format", "", {{"mdx", kMeasures}}, 400, "'format'"},
      {"unknown format", "pdf", {{"mdx", kMeasures}}, 400, "'pdf'"},
      {"body no object", "csv", nlohmann::json("[1]"), 400, "no JSON object"},
      {"no statement", "csv", {{"catalog", "Tiny"}}, 400, "'mdx'"},
      {"statement not text", "csv", {{"mdx", 5}}, 400, "'mdx' must be a text"},
      {"engine's message", "csv", {{"mdx", "SELECT {[Measures].[Nope]} ON COLUMNS FROM [Sales]"}}, 400, "Nope"},
      {"unknown data source", "xlsx", {{"dataSource", "Elsewhere"}, {"mdx", kMeasures}}, 400, "Elsewhere"},
      {"three axes", "xlsx", {{"mdx", "SELECT {[Measures].[Unit Sales]} ON 0, {[Store].[USA]} ON 1, {[Time].[1997]}"
                                      " ON 2 FROM [Sales]"}}, 400, "3 axes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponse response = Export(c.format, c.body);
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.content_type, "application/json; charset=utf-8");
    auto answer = nlohmann::json::parse(response.body);
    EXPECT_NE(answer.value("error", "").find(c.message), std::string::npos) << answer.dump();
    EXPECT_EQ(Header(response, "Content-Disposition"), "");
  }
}

TEST(ExportCallTest, FileNamesKeepOnlyHarmlessCharacters) {
  struct Case {
    std::string wanted;
    std::string file_name;  // what follows "attachment; filename="
  };
  const Case cases[] = {
      {"Sales by quarter", "\"Sales by quarter.csv\""},
      {"../../etc/passwd", "\"etc_passwd.csv\""},
      {"a\"; filename=evil.exe\r\nX-Injected: 1", "\"a__ filename_evil.exe__X-Injected_ 1.csv\""},
      {" ... ", "\"export.csv\""},
      {std::string(300, 'x'), "\"" + std::string(100, 'x') + ".csv\""},
      // Letters beyond ASCII survive in filename*, cut only between characters.
      {"R\xC3\xA9sum\xC3\xA9 v2", "\"R__sum__ v2.csv\"; filename*=UTF-8''R%C3%A9sum%C3%A9%20v2.csv"},
      {".\xC3\xA9/x", "\"x.csv\"; filename*=UTF-8''%C3%A9_x.csv"},
      {std::string(99, 'x') + "\xC3\xA9", "\"" + std::string(99, 'x') + ".csv\"; filename*=UTF-8''" +
                                              std::string(99, 'x') + ".csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wanted);
    ApiResponse response = Export("csv", {{"mdx", kMeasures}, {"fileName", c.wanted}});
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(Header(response, "Content-Disposition"), "attachment; filename=" + c.file_name);
  }
}

TEST(ExportCallTest, HostileCaptionsOfACatalogArriveAsTheyAre) {
  const std::string mdx = "SELECT {[Side].[Side].Members} ON COLUMNS,"
                          " {[<img src=x onerror=\"window.injected=1\">].[Item].Members} ON ROWS"
                          " FROM [Odd \"<b>cube</b>\" 'x' \\ y]";
  ApiResponse csv = Export("csv", {{"dataSource", "Odd"}, {"mdx", mdx}});
  ASSERT_EQ(csv.status, 200) << csv.body;
  EXPECT_EQ(csv.body, exports::CellsetCsv(*testing::RunMdx(mdx, "Odd")));
  const std::vector<std::string> items = {"it's <b>bold</b>", "</script><script>window.injected=3</script>",
                                          "back\\slash ' \" \\' end"};
  auto records = testing::ParseCsv(csv.body.substr(3));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0][1], "Left <");
  std::vector<std::string> csv_items;
  for (size_t row = 1; row < records.size(); ++row) csv_items.push_back(records[row][0]);
  EXPECT_THAT(csv_items, ::testing::UnorderedElementsAreArray(items));

  ApiResponse xlsx = Export("xlsx", {{"dataSource", "Odd"}, {"mdx", mdx}});
  ASSERT_EQ(xlsx.status, 200) << xlsx.body;
  testing::Sheet sheet = testing::ReadXlsx(xlsx.body);
  std::vector<std::string> sheet_items;
  for (int row = 1; row <= 3; ++row) sheet_items.push_back(sheet.Find(row, 0)->value);
  EXPECT_THAT(sheet_items, ::testing::UnorderedElementsAreArray(items));
  EXPECT_EQ(sheet.Find(0, 1)->value, "Left <");
}

}  // namespace
}  // namespace orvex::api
