// The schema reader on any text: a schema (cubes it cannot use carry their
// error) or ComError for text that is not a schema.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/schema/schema_reader.h"
#include "platform/com/com_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    (void)orvex::engine::SchemaReader::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const orvex::ComError&) {
  }
  return 0;
}
