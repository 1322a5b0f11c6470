#pragma once
// Reading cells of a cube in tests: members by unique name, coordinates, fetches.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/model/cube.h"
#include "engine/model/level.h"

namespace orvex::testing {

using engine::CellRequest;
using engine::CellValue;
using engine::Coordinate;
using engine::Cube;
using engine::Hierarchy;
using engine::Measure;
using engine::Member;

// The member of any hierarchy of `cube` with this unique name; fails the test when there is none.
inline const Member* FindMember(const Cube& cube, const std::string& unique_name) {
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    if (const Member* member = hierarchy->FindMember(unique_name)) return member;
  }
  ADD_FAILURE() << "no member " << unique_name;
  return nullptr;
}

inline const Measure* FindMeasure(const Cube& cube, const std::string& name) {
  for (const Measure* measure : cube.measures()) {
    if (measure->name == name) return measure;
  }
  ADD_FAILURE() << "no measure " << name;
  return nullptr;
}

// Each member alone on its hierarchy: one coordinate per member.
inline std::vector<Coordinate> Alone(const Cube& cube, const std::vector<const Member*>& members) {
  std::vector<Coordinate> coordinates;
  for (const Member* member : members) {
    coordinates.emplace_back(cube.hierarchies().size(), nullptr);
    coordinates.back()[static_cast<size_t>(member->level->hierarchy().index())] = member;
  }
  return coordinates;
}

// The coordinate holding the named members and every other hierarchy's all member (or nothing).
inline Coordinate At(const Cube& cube, const std::vector<std::string>& members) {
  Coordinate coordinate(cube.hierarchies().size(), nullptr);
  for (const auto& name : members) {
    if (const Member* member = FindMember(cube, name)) {
      coordinate[static_cast<size_t>(member->level->hierarchy().index())] = member;
    }
  }
  return coordinate;
}

// A cell's value as a double (exact decimals at their nearest), nullopt when empty.
inline std::optional<double> AsDouble(const CellValue& value) {
  if (!value) return std::nullopt;
  return engine::ToDouble(*value);
}

// One cell, read on its own, as a double.
inline std::optional<double> Cell(const Cube& cube, const std::string& measure,
                                  const std::vector<std::string>& members) {
  Coordinate coordinate = At(cube, members);
  CellRequest request{FindMeasure(cube, measure), &coordinate};
  CellValue value;
  cube.cells().Fetch(std::span(&request, 1), std::span(&value, 1));
  return AsDouble(value);
}

// Many cells in one Fetch, as the evaluator asks for them.
inline std::vector<CellValue> Cells(const Cube& cube, const std::vector<const Measure*>& measures,
                                    const std::vector<Coordinate>& coordinates) {
  std::vector<CellRequest> requests;
  for (const auto& coordinate : coordinates) {
    for (const Measure* measure : measures) requests.push_back({measure, &coordinate});
  }
  std::vector<CellValue> values(requests.size());
  cube.cells().Fetch(requests, values);
  return values;
}

// One cell and the value it must hold (nullopt: empty).
struct CellCase {
  std::string measure;
  std::vector<std::string> members;
  std::optional<double> expected;
};

// Reads every case's cell on its own and checks its value, naming the case on failure.
inline void ExpectCells(const Cube& cube, const std::vector<CellCase>& cases) {
  for (const auto& test : cases) {
    SCOPED_TRACE(test.measure + " at " + (test.members.empty() ? "the top" : test.members.front()));
    std::optional<double> value = Cell(cube, test.measure, test.members);
    ASSERT_EQ(value.has_value(), test.expected.has_value());
    if (value) {
      EXPECT_DOUBLE_EQ(*value, *test.expected);
    }
  }
}

}  // namespace orvex::testing
