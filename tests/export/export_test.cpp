#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "export/xlsx_writer.h"
#include "export_test_support.h"
#include "platform/com/com_error.h"
#include "xlsx_reader.h"

namespace orvex::exports {
namespace {

using testing::ParseCsv;
using testing::ReadXlsx;
using testing::RunMdx;

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// The grid's shape as the cell set gives it: headings, then cells.
struct Shape {
  std::shared_ptr<provider::Axis> columns;  // nullptr without that axis
  std::shared_ptr<provider::Axis> rows;
  int heading_rows = 0;
  int heading_columns = 0;
  int column_count = 1;
  int row_count = 1;
};

Shape ShapeOf(const provider::CellsetData& cellset) {
  Shape shape;
  auto axes = cellset.GetAxes();
  if (axes->Count() > 0) {
    shape.columns = axes->Item(0);
    shape.heading_rows = shape.columns->DimensionCount();
    shape.column_count = shape.columns->GetPositions()->Count();
  }
  if (axes->Count() > 1) {
    shape.rows = axes->Item(1);
    shape.heading_columns = shape.rows->DimensionCount();
    shape.row_count = shape.rows->GetPositions()->Count();
  }
  return shape;
}

std::string Caption(const provider::Axis& axis, int position, int hierarchy) {
  return axis.GetPositions()->Item(position)->GetMembers()->Item(hierarchy)->Caption();
}

// What a spreadsheet shows of a CSV text field: a formula-like start is
// defused by an apostrophe, which the spreadsheet hides again.
std::string CsvShown(const std::string& text) {
  bool formula_like = !text.empty() && std::string("=+-@\t\r").find(text.front()) != std::string::npos;
  return formula_like ? "'" + text : text;
}

void ExpectCsvMatches(const provider::CellsetData& cellset, const std::string& csv) {
  ASSERT_EQ(csv.substr(0, kBom.size()), kBom);
  ASSERT_TRUE(csv.empty() || csv.size() < 2 || csv.substr(csv.size() - 2) == "\r\n");
  auto records = ParseCsv(csv.substr(kBom.size()));
  Shape shape = ShapeOf(cellset);
  ASSERT_EQ(static_cast<int>(records.size()), shape.heading_rows + shape.row_count);
  for (const auto& record : records) {
    ASSERT_EQ(static_cast<int>(record.size()), std::max(1, shape.heading_columns + shape.column_count));
  }
  for (int row = 0; row < shape.heading_rows; ++row) {
    for (int column = 0; column < shape.heading_columns; ++column) EXPECT_EQ(records[row][column], "");
    for (int position = 0; position < shape.column_count; ++position) {
      EXPECT_EQ(records[row][shape.heading_columns + position], CsvShown(Caption(*shape.columns, position, row)))
          << "column heading " << row << "," << position;
    }
  }
  for (int position = 0; position < shape.row_count; ++position) {
    const auto& record = records[shape.heading_rows + position];
    for (int hierarchy = 0; hierarchy < shape.heading_columns; ++hierarchy) {
      EXPECT_EQ(record[hierarchy], CsvShown(Caption(*shape.rows, position, hierarchy))) << "row heading " << position;
    }
    for (int column = 0; column < shape.column_count; ++column) {
      auto cell = cellset.GetCell(position * shape.column_count + column);
      const std::string& field = record[shape.heading_columns + column];
      Variant value = cell->Value();
      SCOPED_TRACE("cell " + std::to_string(position) + "," + std::to_string(column) + ": " + field);
      if (value.IsEmpty()) {
        EXPECT_EQ(field, "");
      } else if (value.HoldsNumber()) {
        char* end = nullptr;
        double read = std::strtod(field.c_str(), &end);
        EXPECT_EQ(*end, '\0') << "a number written plainly";
        EXPECT_EQ(read, value.ToDouble());
      } else {
        EXPECT_EQ(field, CsvShown(cell->FormattedValue()));
      }
    }
  }
}

// The text a sheet shows at a place: a merged range shows its first cell's.
const testing::SheetCell* Shown(const testing::Sheet& sheet, int row, int column) {
  for (const std::string& merge : sheet.merges) {
    size_t colon = merge.find(':');
    auto first = testing::CellPlace(merge.substr(0, colon));
    auto last = testing::CellPlace(merge.substr(colon + 1));
    if (row >= first.first && row <= last.first && column >= first.second && column <= last.second) {
      if (std::make_pair(row, column) != first) {
        const testing::SheetCell* covered = sheet.Find(row, column);
        EXPECT_TRUE(!covered || covered->value.empty()) << "a merged-over cell holds a value";
      }
      return sheet.Find(first.first, first.second);
    }
  }
  return sheet.Find(row, column);
}

void ExpectXlsxMatches(const provider::CellsetData& cellset, const std::string& bytes) {
  testing::Sheet sheet = ReadXlsx(bytes);
  Shape shape = ShapeOf(cellset);
  for (const auto& [place, cell] : sheet.cells) EXPECT_FALSE(cell.formula) << "a formula at " << place.first;
  auto expect_text = [&](int row, int column, const std::string& text) {
    const testing::SheetCell* cell = Shown(sheet, row, column);
    ASSERT_NE(cell, nullptr) << "nothing at " << row << "," << column;
    EXPECT_EQ(cell->type, "s") << row << "," << column;
    EXPECT_EQ(cell->value, text) << row << "," << column;
  };
  for (int row = 0; row < shape.heading_rows; ++row) {
    for (int position = 0; position < shape.column_count; ++position) {
      expect_text(row, shape.heading_columns + position, Caption(*shape.columns, position, row));
    }
  }
  for (int position = 0; position < shape.row_count; ++position) {
    for (int hierarchy = 0; hierarchy < shape.heading_columns; ++hierarchy) {
      expect_text(shape.heading_rows + position, hierarchy, Caption(*shape.rows, position, hierarchy));
    }
    for (int column = 0; column < shape.column_count; ++column) {
      auto cell = cellset.GetCell(position * shape.column_count + column);
      int row_at = shape.heading_rows + position;
      int column_at = shape.heading_columns + column;
      Variant value = cell->Value();
      const testing::SheetCell* written = sheet.Find(row_at, column_at);
      if (value.IsEmpty()) {
        EXPECT_TRUE(!written || written->value.empty()) << row_at << "," << column_at;
      } else if (value.HoldsNumber()) {
        ASSERT_NE(written, nullptr);
        EXPECT_TRUE(written->type.empty() || written->type == "n") << written->type;
        EXPECT_EQ(std::strtod(written->value.c_str(), nullptr), value.ToDouble());
      } else {
        expect_text(row_at, column_at, cell->FormattedValue());
      }
    }
  }
  EXPECT_EQ(sheet.frozen_rows, shape.heading_rows);
  EXPECT_EQ(sheet.frozen_columns, shape.heading_columns);
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
  std::sort(items.begin(), items.end());
  return items;
}

TEST(ExportTest, FilesHoldTheCellSetCellByCellWithHeadingsMergedOverTheirRuns) {
  struct Case {
    const char* name;
    const char* mdx;
    std::vector<std::string> merges;
  };
  const Case cases[] = {
      {"two hierarchies on each axis",
       "SELECT CrossJoin({[Time].[1997], [Time].[1998]}, {[Measures].[Unit Sales], [Measures].[Profit]}) ON COLUMNS,"
       " CrossJoin({[Store].[USA], [Store].[Canada]}, {[Product].[Drink], [Product].[Food]}) ON ROWS FROM [Sales]",
       {"C1:D1", "E1:F1", "A3:A4", "A5:A6"}},
      // An inner heading never merges across a change of the outer one, nor
      // an outer one across a gap.
      {"runs broken by the outer hierarchy",
       "SELECT {[Measures].[Unit Sales]} ON COLUMNS, {([Time].[1997], [Store].[USA]), ([Time].[1998], [Store].[USA]),"
       " ([Time].[1998], [Store].[Canada]), ([Time].[1997], [Store].[Canada])} ON ROWS FROM [Sales]",
       {"A3:A4"}},
      {"columns only", "SELECT {[Measures].[Unit Sales], [Measures].[Profit]} ON COLUMNS FROM [Sales]", {}},
      {"no axis", "SELECT FROM [Sales] WHERE [Measures].[Store Sales]", {}},
      {"rows without cells", "SELECT {} ON COLUMNS, {[Store].[USA].Children} ON ROWS FROM [Sales]", {}},
      {"empty cells", "SELECT {[Measures].[Unit Sales]} ON COLUMNS, {[Product].[Non-Consumable].Children} ON ROWS"
                      " FROM [Sales] WHERE [Store].[Canada]", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cellset = RunMdx(c.mdx);
    ExpectCsvMatches(*cellset, CellsetCsv(*cellset));
    std::string xlsx = CellsetXlsx(*cellset);
    ExpectXlsxMatches(*cellset, xlsx);
    EXPECT_EQ(Sorted(ReadXlsx(xlsx).merges), Sorted(c.merges));
  }
}

TEST(ExportTest, HostileCaptionsAndTextsArriveAsTextAndNumbersStayNumbers) {
  const std::vector<std::string> names = {"=HYPERLINK(\"http://x\",\"y\")", "+SUM(A1:A9)", "-2+3", "@cmd",
                                          "a,b", "say \"hi\"", "<b>x</b> &amp; <script>", "two\nlines"};
  std::string with;
  std::string rows;
  for (const std::string& name : names) {
    std::string quoted;
    for (char c : name) quoted += c == ']' ? std::string("]]") : std::string(1, c);
    with += " MEMBER [Store].[" + quoted + "] AS '-5'";
    rows += std::string(rows.empty() ? "" : ", ") + "[Store].[" + quoted + "]";
  }
  with += " MEMBER [Measures].[Text] AS '\"=1+2\"' MEMBER [Measures].[Negative] AS '-7.25'";
  auto cellset = RunMdx("WITH" + with + " SELECT {[Measures].[Unit Sales], [Measures].[Text], [Measures].[Negative]}"
                        " ON COLUMNS, {" + rows + "} ON ROWS FROM [Sales]");
  std::string csv = CellsetCsv(*cellset);
  ExpectCsvMatches(*cellset, csv);
  ExpectXlsxMatches(*cellset, CellsetXlsx(*cellset));
  // Spelled out once, apart from the helpers' rule.
  auto records = ParseCsv(csv.substr(kBom.size()));
  ASSERT_EQ(records.size(), names.size() + 1);
  EXPECT_EQ(records[1][0], "'=HYPERLINK(\"http://x\",\"y\")");
  EXPECT_EQ(records[3][0], "'-2+3");
  EXPECT_EQ(records[8][0], "two\nlines");
  EXPECT_EQ(records[1][2], "'=1+2");
  EXPECT_EQ(records[1][3], "-7.25");
  EXPECT_NE(csv.find("\"say \"\"hi\"\"\""), std::string::npos);
}

TEST(ExportTest, XlsxNumbersCarryTheirMeasuresFormat) {
  struct Case {
    const char* name;
    const char* properties;
    std::vector<std::string> formats;  // of Unit Sales, Store Sales, Profit
  };
  const Case cases[] = {
      {"format strings asked for", " CELL PROPERTIES VALUE, FORMATTED_VALUE, FORMAT_STRING",
       {"#,##0.00", "#,###.00", "$#,##0.00"}},
      {"format strings not asked for", "", {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cellset = RunMdx(std::string("SELECT {[Measures].[Unit Sales], [Measures].[Store Sales], [Measures].[Profit]}"
                                      " ON COLUMNS FROM [Sales]") + c.properties);
    testing::Sheet sheet = ReadXlsx(CellsetXlsx(*cellset));
    for (int column = 0; column < 3; ++column) {
      const testing::SheetCell* cell = sheet.Find(1, column);
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->number_format, c.formats[static_cast<size_t>(column)]) << column;
    }
  }
}

TEST(ExportTest, WritersRefuseWhatNoSheetCanShow) {
  auto three_axes = RunMdx("SELECT {[Measures].[Unit Sales]} ON 0, {[Store].[USA]} ON 1, {[Time].[1997]} ON 2 FROM [Sales]");
  EXPECT_THROW((void)CellsetCsv(*three_axes), ComError);
  EXPECT_THROW((void)CellsetXlsx(*three_axes), ComError);
}

TEST(ExportTest, TabularCsvWritesEachKindOfValue) {
  provider::TabularData table;
  table.columns = {"Store", "=Units", "Sold, net", "Open"};
  table.rows = {
      {Variant("Store \"1\""), Variant(int32_t{-12}), Variant(1234.5), Variant(true)},
      {Variant("-minus"), Variant(), Variant::Null(), Variant(false)},
      {Variant("line\r\nbreak"), Variant(1e21), Variant(0.1), Variant("")},
  };
  std::string csv = TabularCsv(table);
  EXPECT_EQ(csv,
            std::string(kBom) +
                "Store,'=Units,\"Sold, net\",Open\r\n"
                "\"Store \"\"1\"\"\",-12,1234.5,TRUE\r\n"
                "'-minus,,,FALSE\r\n"
                "\"line\r\nbreak\",1e+21,0.1,\r\n");
  auto records = ParseCsv(csv.substr(kBom.size()));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[3][0], "line\r\nbreak");

  provider::TabularData headings_only;
  headings_only.columns = {"a"};
  EXPECT_EQ(TabularCsv(headings_only), std::string(kBom) + "a\r\n");
}

}  // namespace
}  // namespace orvex::exports
