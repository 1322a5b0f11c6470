// Cell formatting: any value under any format string gives a text, never a crash.
// The first byte picks the kind of value; a number takes the next eight bytes
// as its bits (so infinities, NaNs and denormals come up) or one of the values
// where formatting changes its mind, or a text (a date one when the high bit
// is set); the rest is the format string.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "engine/eval/format_string.h"
#include "platform/com/com_error.h"

namespace {

constexpr double kEdges[] = {0.0, -0.0, 0.5, -0.5, 1.5, 2.5, 0.005, 0.015, 999.995, 1e15, 1e16, 1e21, 1e300, -1e300,
                             5e-324, std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), 9007199254740993.0, 123456.789};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t kind = data[0];
  ++data, --size;
  orvex::engine::Scalar value;
  switch (kind % 5) {
    case 0: {
      double bits = 0;
      if (size < sizeof bits) return 0;
      std::memcpy(&bits, data, sizeof bits);
      data += sizeof bits, size -= sizeof bits;
      value = bits;
      break;
    }
    case 1:
    case 2:
      value = kEdges[(kind / 5) % std::size(kEdges)];
      break;
    case 3:
      value = (kind & 0x80) != 0;
      break;
    default:
      // A text that reads as a date and time, so date patterns format it, or one that does not.
      value = std::string((kind & 0x80) != 0 ? "2000-02-29 13:05:09" : "text");
      break;
  }
  std::string_view format(reinterpret_cast<const char*>(data), size);
  try {
    (void)orvex::engine::FormatCellValue(value, format);
  } catch (const orvex::ComError&) {
  }
  return 0;
}
