#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace orvex::exports {

// The spreadsheet number format that shows a number as the measure's format
// string does: the named formats (Currency, Fixed, Standard, Percent,
// Scientific, Yes/No, True/False, On/Off) and patterns of "0", "#", ".",
// ",", "%", "E+00", sections and literals. Literals are quoted so that no
// letter reads as a date or time code. nullopt where the spreadsheet's
// general format serves ("", General Number) or no format can say the same
// (more than four sections).
std::optional<std::string> ExcelNumberFormat(std::string_view format_string);

}  // namespace orvex::exports
