#include <gtest/gtest.h>

#include "cube_cells.h"
#include "engine/model/cube.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

TEST(TinyCatalogTest, ReadsTheYearTotalOfTheDefaultMeasure) {
  const Cube& cube = orvex::testing::TinySalesCube();
  auto value = orvex::testing::Cell(cube, cube.measures()[0]->name, {"[Time].[1997]"});
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, 78);
}

}  // namespace
}  // namespace orvex::engine
