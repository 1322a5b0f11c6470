#include "export/xlsx_writer.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <system_error>

#include <xlsxwriter.h>

#include "export/excel_number_format.h"
#include "export/export_grid.h"
#include "platform/com/com_error.h"

namespace orvex::exports {

namespace {

constexpr const char* kSource = "Export";
constexpr int kMaxSheetRows = 1048576;
constexpr int kMaxSheetColumns = 16384;
// Wide enough for most captions, never so wide that the cells go off screen.
constexpr double kMaxHeadingWidth = 50;

ComError LibraryError(lxw_error error, const std::string& what) {
  return ComError(errors::kInternalError, kSource, "the XLSX writer failed " + what + ": " + lxw_strerror(error));
}

// A file name of our own in the temporary folder, removed at the end of
// scope: the library writes only to a named file.
class TempFile {
 public:
  TempFile() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-export-XXXXXX.xlsx").string();
    int descriptor = ::mkstemps(pattern.data(), 5);
    if (descriptor < 0) {
      throw ComError(errors::kPathFileAccessError, kSource, "no temporary file for the XLSX export could be made");
    }
    ::close(descriptor);
    path_ = pattern;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Owns a workbook until it is closed; a workbook dropped on a failure is
// closed too, which frees it (its half-written file goes with the TempFile).
class Workbook {
 public:
  explicit Workbook(const std::filesystem::path& path) : workbook_(workbook_new(path.c_str())) {
    if (!workbook_) throw ComError(errors::kInternalError, kSource, "the XLSX writer could not start a workbook");
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;
  ~Workbook() {
    if (workbook_) workbook_close(workbook_);
  }
  lxw_workbook* get() const { return workbook_; }
  void Close() {
    lxw_error error = workbook_close(workbook_);
    workbook_ = nullptr;
    if (error != LXW_NO_ERROR) throw LibraryError(error, "to save the workbook");
  }

 private:
  lxw_workbook* workbook_;
};

void Check(lxw_error error, int row, int column) {
  if (error != LXW_NO_ERROR) {
    throw LibraryError(error, "at row " + std::to_string(row + 1) + ", column " + std::to_string(column + 1));
  }
}

// The text width of a caption in characters, counting each UTF-8 sequence once.
size_t DisplayLength(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in) throw ComError(errors::kPathFileAccessError, kSource, "the XLSX export could not be read back");
  return bytes.str();
}

}  // namespace

std::string CellsetXlsx(const provider::CellsetData& cellset) {
  ExportGrid grid = BuildExportGrid(cellset);
  if (grid.rows > kMaxSheetRows || grid.columns > kMaxSheetColumns) {
    throw ComError(errors::kInvalidProcedureCall, kSource,
                   "the grid has " + std::to_string(grid.rows) + " rows and " + std::to_string(grid.columns) +
                       " columns; a sheet holds at most 1048576 rows and 16384 columns");
  }
  TempFile file;
  Workbook workbook(file.path());
  lxw_worksheet* sheet = workbook_add_worksheet(workbook.get(), "Grid");
  if (!sheet) throw ComError(errors::kInternalError, kSource, "the XLSX writer could not add a sheet");
  lxw_format* heading = workbook_add_format(workbook.get());
  format_set_bold(heading);
  format_set_align(heading, LXW_ALIGN_VERTICAL_TOP);
  // One format per distinct number format; the library owns them.
  std::map<std::string, lxw_format*> number_formats;
  auto number_format = [&](const std::string& format_string) -> lxw_format* {
    std::optional<std::string> excel = ExcelNumberFormat(format_string);
    if (!excel) return nullptr;
    auto [found, added] = number_formats.try_emplace(*excel, nullptr);
    if (added) {
      found->second = workbook_add_format(workbook.get());
      format_set_num_format(found->second, excel->c_str());
    }
    return found->second;
  };

  std::vector<size_t> heading_widths(static_cast<size_t>(grid.heading_columns), 0);
  for (int row = 0; row < grid.rows; ++row) {
    for (int column = 0; column < grid.columns; ++column) {
      const GridCell& cell = grid.At(row, column);
      auto sheet_row = static_cast<lxw_row_t>(row);
      auto sheet_column = static_cast<lxw_col_t>(column);
      switch (cell.kind) {
        case GridCell::Kind::kEmpty:
          break;
        case GridCell::Kind::kHeading:
          Check(worksheet_write_string(sheet, sheet_row, sheet_column, cell.text.c_str(), heading), row, column);
          if (column < grid.heading_columns) {
            size_t& width = heading_widths[static_cast<size_t>(column)];
            width = std::max(width, DisplayLength(cell.text));
          }
          break;
        case GridCell::Kind::kNumber:
          Check(worksheet_write_number(sheet, sheet_row, sheet_column, cell.number, number_format(cell.format_string)),
                row, column);
          break;
        case GridCell::Kind::kBoolean:
          Check(worksheet_write_boolean(sheet, sheet_row, sheet_column, cell.number != 0 ? 1 : 0, nullptr), row,
                column);
          break;
        case GridCell::Kind::kText:
          Check(worksheet_write_string(sheet, sheet_row, sheet_column, cell.text.c_str(), nullptr), row, column);
          break;
      }
    }
  }
  for (const GridMerge& merge : grid.merges) {
    const GridCell& first = grid.At(merge.first_row, merge.first_column);
    Check(worksheet_merge_range(sheet, static_cast<lxw_row_t>(merge.first_row),
                                static_cast<lxw_col_t>(merge.first_column), static_cast<lxw_row_t>(merge.last_row),
                                static_cast<lxw_col_t>(merge.last_column), first.text.c_str(), heading),
          merge.first_row, merge.first_column);
  }
  for (size_t column = 0; column < heading_widths.size(); ++column) {
    double width = std::min(kMaxHeadingWidth, static_cast<double>(heading_widths[column]) + 2);
    auto sheet_column = static_cast<lxw_col_t>(column);
    Check(worksheet_set_column(sheet, sheet_column, sheet_column, width, nullptr), 0, static_cast<int>(column));
  }
  if (grid.heading_rows > 0 || grid.heading_columns > 0) {
    worksheet_freeze_panes(sheet, static_cast<lxw_row_t>(grid.heading_rows),
                           static_cast<lxw_col_t>(grid.heading_columns));
  }
  workbook.Close();
  return ReadAll(file.path());
}

}  // namespace orvex::exports
