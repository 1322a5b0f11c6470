#pragma once
#include <string>
#include <string_view>

#include "engine/eval/value.h"

namespace orvex::engine {

// A cell's formatted value: the number written after the measure's format
// string, a text as it is, "" for an empty cell. Format strings are the named
// formats (General Number, Currency, Fixed, Standard, Percent, Scientific,
// Yes/No, True/False, On/Off) or patterns of up to four sections separated by
// ";" (positive, negative, zero; one section serves all, negatives then get a
// "-") made of "0" and "#" digits, "." and "," (grouping; before the point or
// the end, each divides by 1000), "%", "E+00", quoted or "\"-escaped literals
// and any other character as itself. An empty format string writes the number
// plainly. Always a full stop and commas, whatever the server's locale.
// Halves round away from zero, from the number's decimal digits: a decimal's
// own, a double's shortest that read back as it (2.675 shows as 2.68 at two
// places, -0.125 as -0.13).
std::string FormatCellValue(const Scalar& value, std::string_view format_string);

}  // namespace orvex::engine
