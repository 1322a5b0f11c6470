#include "olap/catalog.h"

#include "errors/trail.h"
#include "olap/cube.h"
#include "olap/cubes.h"
#include "olap/globals.h"
#include "olap/internal/tessel_error.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Catalog";
}  // namespace

std::shared_ptr<olap::Cubes> Catalog::Cubes() {
  return Trail(kClass, "Cubes [PropertyGet]", [&] {
    if (!cubes_) {
      auto cubes = std::make_shared<olap::Cubes>();
      int32_t count = f_Catalog()->GetCubeDefs()->Count();
      for (int32_t key = 0; key < count; ++key) {
        auto cube = std::make_shared<olap::Cube>();
        cube->f_Construct(shared_from_this(), key);
        cubes->f_Add(cube);
      }
      cubes_ = std::move(cubes);
    }
    return cubes_;
  });
}

std::string Catalog::Name() const {
  return Trail(kClass, "Name [PropertyGet]", [&] { return f_Catalog()->Name(); });
}

std::shared_ptr<provider::Connection> Catalog::ActiveConnection() const {
  return Trail(kClass, "ActiveConnection [PropertyGet]", [&] { return f_Catalog()->ActiveConnection(); });
}

void Catalog::f_Construct(std::shared_ptr<provider::Connection> Connection) {
  Trail(kClass, "f_Construct", [&] {
    Globals::Instance().CheckConnection(Variant(std::static_pointer_cast<ComObject>(Connection)), true);
    catalog_ = std::make_shared<provider::Catalog>();
    catalog_->SetActiveConnection(std::move(Connection));
  });
}

void Catalog::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    catalog_.reset();
    if (cubes_) {
      cubes_->f_Terminate();
      cubes_.reset();
    }
  });
}

std::shared_ptr<provider::Catalog> Catalog::f_Catalog() const {
  return Trail(kClass, "f_Catalog [PropertyGet]", [&] {
    if (!catalog_) throw detail::TesselPlatformError(errors::kObjectNotSet);
    return catalog_;
  });
}

}  // namespace orvex::olap
