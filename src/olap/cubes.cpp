#include "olap/cubes.h"

#include "errors/trail.h"
#include "olap/cube.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Cubes";
}  // namespace

std::shared_ptr<olap::Cube> Cubes::Item(const Variant& Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] { return cubes_.Item(Index); });
}

std::vector<std::shared_ptr<olap::Cube>> Cubes::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return cubes_.Items(); });
}

int32_t Cubes::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return cubes_.Count(); });
}

void Cubes::f_Add(std::shared_ptr<olap::Cube> Cube) {
  Trail(kClass, "f_Add", [&] { cubes_.Add(Cube->Name(), Cube); });
}

void Cubes::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    for (const auto& cube : cubes_.Items()) cube->f_Terminate();
    cubes_.Clear();
  });
}

}  // namespace orvex::olap
