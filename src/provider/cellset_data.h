#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "provider/metadata.h"

// The result of one MDX statement as a provider hands it out.
namespace orvex::provider {

class Position {
 public:
  virtual ~Position() = default;
  virtual int Ordinal() const = 0;
  // One member per hierarchy of the axis, in the axis's hierarchy order.
  virtual std::shared_ptr<Members> GetMembers() const = 0;
};
using Positions = Collection<Position>;

class Axis {
 public:
  virtual ~Axis() = default;
  virtual std::string Name() const = 0;
  // The number of hierarchies on the axis (each position holds one member of each).
  virtual int DimensionCount() const = 0;
  virtual std::shared_ptr<Positions> GetPositions() const = 0;
  virtual const Properties& GetProperties() const = 0;
};
using Axes = Collection<Axis>;

class Cell {
 public:
  virtual ~Cell() = default;
  // Empty, a number, or a text.
  virtual Variant Value() const = 0;
  // The value formatted after its measure's format string; "" for an empty cell.
  virtual std::string FormattedValue() const = 0;
  virtual int Ordinal() const = 0;
  virtual const Properties& GetProperties() const = 0;
};

// An executed statement: axes, the filter axis and the cells, in ordinal order
// (axis 0 varies fastest). Immutable; safe to share between threads.
class CellsetData {
 public:
  virtual ~CellsetData() = default;
  virtual std::shared_ptr<Axes> GetAxes() const = 0;
  // One position holding, for every hierarchy on no axis, the slicer's or the default member.
  virtual std::shared_ptr<Axis> GetFilterAxis() const = 0;
  // Throws ComError for an ordinal outside the cells.
  virtual std::shared_ptr<Cell> GetCell(int ordinal) const = 0;
};

}  // namespace orvex::provider
