#include <gtest/gtest.h>

#include "engine/cells/cell_reader.h"
#include "engine/model/cube.h"
#include "engine/model/level.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

TEST(TinyCatalogTest, ReadsTheYearTotalOfTheDefaultMeasure) {
  const Cube& cube = orvex::testing::TinySalesCube();
  Coordinate coordinate(cube.hierarchies().size(), nullptr);
  coordinate[0] = cube.hierarchies()[0]->FindMember("[Time].[1997]");
  ASSERT_NE(coordinate[0], nullptr);
  CellRequest request{cube.measures()[0], &coordinate};
  CellValue value;
  cube.cells().Fetch(std::span(&request, 1), std::span(&value, 1));
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, 78);
}

}  // namespace
}  // namespace orvex::engine
