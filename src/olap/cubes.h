#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "olap/internal/keyed_list.h"
#include "platform/com/variant.h"

namespace orvex::olap {

class Cube;

// The cubes of a catalog, keyed by name in the catalog's order.
class Cubes {
 public:
  // A number is a 0-based position (error 9 outside), anything else a name (error 5 when unknown).
  std::shared_ptr<olap::Cube> Item(const Variant& Index) const;
  std::vector<std::shared_ptr<olap::Cube>> NewEnum() const;
  int32_t Count() const;

  // Appends the cube under its name.
  void f_Add(std::shared_ptr<olap::Cube> Cube);
  // Ends every cube.
  void f_Terminate();

 private:
  detail::KeyedList<olap::Cube> cubes_;
};

}  // namespace orvex::olap
