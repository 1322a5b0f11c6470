#pragma once
#include <filesystem>
#include <optional>

namespace orvex::tools {

// Writes the sample catalog's data (data.duckdb, or the PostgreSQL database
// the folder's store.conf names): a retail sales cube with stores in
// three countries, about 1,500 products, 10,000 customers and 14 promotion
// media over 1997 and 1998, with seasons, skew and empty corners. The same
// scale always gives the same data. Scale 1 makes about 100,000 sales; the
// sales grow with the scale, the other tables do not.
class SampleGenerator {
 public:
  // Replaces `folder`/data.duckdb as a whole: the data is built in a
  // temporary file that is renamed over the old one only when complete.
  // When `folder`/store.conf names a PostgreSQL server, the same data is
  // copied there instead, replacing its tables in one transaction.
  // Throws ComError when a store fails or the scale is not positive.
  static void Generate(const std::filesystem::path& folder, double scale);
  // The scale `folder`'s data was generated for; nullopt when it is missing,
  // cannot be reached or was not made by this generator.
  static std::optional<double> RecordedScale(const std::filesystem::path& folder);
};

}  // namespace orvex::tools
