#include "olap/positions.h"

#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/position.h"

namespace orvex::olap {
namespace {

using testing::ExpectComError;

TEST(PositionsTest, ItemOutsideTheSlotsNamesTheRange) {
  Positions three;
  three.f_Construct(3, nullptr);
  struct Case {
    int32_t index;
    std::string description;
  };
  const Case cases[] = {
      {-1, "Index out of range.  The index '-1' must be between 0 and 2."},
      {3, "Index out of range.  The index '3' must be between 0 and 2."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { three.Item(c.index); });
    EXPECT_EQ(error.description(), c.description);
    EXPECT_EQ(error.source(), "Tessel\r\nin Positions.Item [PropertyGet]");
  }
  Positions none;
  none.f_Construct(0, nullptr);
  EXPECT_EQ(ExpectComError(errors::kInvalidProcedureCall, [&] { none.Item(0); }).description(),
            "This collection contains no elements.");
  EXPECT_EQ(ExpectComError(errors::kInvalidProcedureCall, [&] { none.f_Construct(-1, nullptr); }).description(),
            "'Count' must be greater than, or equal to, zero.");
}

TEST(PositionsTest, HierarchyPositionsHaveNoEmptySlotsAndNoSlotTwice) {
  Positions positions;
  positions.f_Construct(2, nullptr);
  EXPECT_TRUE(positions.AllEmpty());
  EXPECT_EQ(positions.HighestLevelIndex(), -1);
  auto empty = std::make_shared<Position>();
  empty->f_Construct(nullptr);
  positions.f_Add(empty, 1);
  EXPECT_EQ(empty->Index(), 1);
  EXPECT_EQ(positions.Item(1), empty);
  EXPECT_TRUE(positions.AllEmpty());
  EXPECT_EQ(empty->Caption(), "(All)");
  EXPECT_EQ(empty->Member(), nullptr);

  ComError error = ExpectComError(static_cast<int32_t>(0x80040200u), [&] { positions.Item(0); });
  EXPECT_EQ(error.description(), "There should be no empty positions in the AxisHierarchy.Positions collection.");
  ExpectComError(errors::kDuplicateKey, [&] { positions.f_Add(std::make_shared<Position>(), 1); });
  EXPECT_EQ(positions.NewEnum().size(), 1u);
}

}  // namespace
}  // namespace orvex::olap
