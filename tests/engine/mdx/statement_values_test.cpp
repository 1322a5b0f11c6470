#include "engine/eval/statement_values.h"

#include <gtest/gtest.h>

#include "engine/model/measure.h"
#include "platform/com/com_error.h"

namespace orvex::engine {
namespace {

// Answers every request with the number of members in its coordinate, and counts the calls.
class CountingReader : public CellReader {
 public:
  using CellReader::Fetch;
  void Fetch(std::span<const CellRequest> requests, std::span<CellValue> values, Deadline) override {
    ++calls;
    requested += requests.size();
    for (size_t index = 0; index < requests.size(); ++index) {
      values[index] = requests[index].coordinate->size() == 1 ? CellValue() : CellValue(static_cast<double>(requests[index].coordinate->size()));
    }
  }
  int calls = 0;
  size_t requested = 0;
};

TEST(StatementValuesTest, RemembersMissesOnceAndReadsThemInOneCall) {
  Measure measure;
  Member a;
  Member b;
  std::vector<const Member*> one{&a};
  std::vector<const Member*> two{&a, &b};
  StatementValues cache(10);
  CountingReader reader;
  EXPECT_EQ(cache.Find(measure, one), nullptr);
  EXPECT_EQ(cache.Find(measure, two), nullptr);
  EXPECT_EQ(cache.Find(measure, two), nullptr);  // asked twice, read once
  EXPECT_EQ(cache.pending_count(), 2u);
  cache.FetchPending(reader);
  EXPECT_EQ(reader.calls, 1);
  EXPECT_EQ(reader.requested, 2u);
  EXPECT_FALSE(cache.HasPending());
  const CellValue* empty = cache.Find(measure, one);
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(empty->has_value());
  ASSERT_NE(cache.Find(measure, two), nullptr);
  EXPECT_EQ(ToDouble(**cache.Find(measure, two)), 2);
  cache.FetchPending(reader);  // nothing pending: no call
  EXPECT_EQ(reader.calls, 1);
}

TEST(StatementValuesTest, RefusesMoreValuesThanItsLimit) {
  Measure measure;
  Member a;
  Member b;
  std::vector<const Member*> one{&a};
  std::vector<const Member*> other{&b};
  StatementValues cache(1);
  EXPECT_EQ(cache.Find(measure, one), nullptr);
  EXPECT_EQ(cache.Find(measure, one), nullptr);  // the same value again is no more
  EXPECT_THROW((void)cache.Find(measure, other), ComError);
}

}  // namespace
}  // namespace orvex::engine
