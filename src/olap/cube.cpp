#include "olap/cube.h"

#include "errors/trail.h"
#include "olap/catalog.h"
#include "olap/cube_view.h"
#include "olap/globals.h"
#include "olap/internal/tessel_error.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Cube";

std::shared_ptr<provider::Hierarchy> MeasuresHierarchy(const provider::Dimensions& dimensions) {
  return dimensions.Item(std::string_view("Measures"))->GetHierarchies()->Item(0);
}
}  // namespace

std::shared_ptr<olap::Catalog> Cube::Catalog() const {
  return Trail(kClass, "Catalog [PropertyGet]", [&] { return detail::Lock(catalog_); });
}

std::shared_ptr<provider::Members> Cube::Measures() const {
  return Trail(kClass, "Measures [PropertyGet]",
               [&] { return MeasuresHierarchy(*Dimensions())->GetLevels()->Item(0)->GetMembers(); });
}

std::shared_ptr<provider::Member> Cube::DefaultMeasure() const {
  return Trail(kClass, "DefaultMeasure [PropertyGet]", [&] {
    auto hierarchy = MeasuresHierarchy(*Dimensions());
    std::string name = hierarchy->GetProperties().Item(std::string_view("DEFAULT_MEMBER")).value.ToString();
    return Measures()->Item(std::string_view(name));
  });
}

std::string Cube::Description() const {
  return Trail(kClass, "Description [PropertyGet]", [&] { return f_CubeDef()->Description(); });
}

std::shared_ptr<provider::Dimensions> Cube::Dimensions() const {
  return Trail(kClass, "Dimensions [PropertyGet]", [&] { return f_CubeDef()->GetDimensions(); });
}

std::string Cube::Name() const {
  return Trail(kClass, "Name [PropertyGet]", [&] { return f_CubeDef()->Name(); });
}

provider::Properties Cube::Properties() const {
  return Trail(kClass, "Properties [PropertyGet]", [&] { return f_CubeDef()->GetProperties(); });
}

bool Cube::IsAccessible() const {
  return Trail(kClass, "IsAccessible", [&] {
    auto dimensions = Dimensions();
    if (dimensions->Count() < 1) return false;
    try {
      (void)dimensions->Item(0);
      return true;
    } catch (const ComError&) {
      return false;  // a cube the user may not read answers false instead of failing
    }
  });
}

HierarchyObjects Cube::GetHierarchyObjects(std::string_view UniqueName) const {
  return Trail(kClass, "GetHierarchyObjects", [&] {
    auto parts = Globals::Instance().ParseUniqueName(UniqueName);
    if (parts.empty()) throw detail::TesselPlatformError(errors::kSubscriptOutOfRange);
    HierarchyObjects objects;
    objects.dimension = Dimensions()->Item(std::string_view(parts[0]));
    auto hierarchies = objects.dimension->GetHierarchies();
    if (hierarchies->Count() > 1) {
      if (parts.size() >= 2) objects.hierarchy = hierarchies->Item(std::string_view(parts[1]));
    } else {
      objects.hierarchy = hierarchies->Item(0);
    }
    return objects;
  });
}

std::shared_ptr<olap::CubeView> Cube::CreateView() {
  return Trail(kClass, "CreateView", [&] {
    auto view = std::make_shared<olap::CubeView>();
    view->f_Construct(shared_from_this());
    views_.push_back(view);
    return view;
  });
}

void Cube::f_Construct(const std::shared_ptr<olap::Catalog>& Catalog, int32_t CubeDefKey) {
  Trail(kClass, "f_Construct", [&] {
    if (!Catalog) {
      throw detail::TesselError(errors::kInvalidProcedureCall,
                                "The 'Catalog' argument must be a reference to a valid 'Catalog' object.");
    }
    catalog_ = Catalog;
    key_ = CubeDefKey;
  });
}

void Cube::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    catalog_.reset();
    auto views = std::move(views_);
    views_.clear();
    for (const auto& view : views) view->f_Terminate();
  });
}

std::shared_ptr<provider::CubeDef> Cube::f_CubeDef() const {
  return Trail(kClass, "f_CubeDef [PropertyGet]", [&] {
    if (!key_) throw detail::TesselPlatformError(errors::kObjectNotSet);
    return detail::Lock(catalog_)->f_Catalog()->GetCubeDefs()->Item(*key_);
  });
}

std::shared_ptr<provider::Hierarchy> Cube::f_Hierarchy(std::string_view DimensionName,
                                                       std::string_view HierarchyName) const {
  return Trail(kClass, "f_Hierarchy [PropertyGet]",
               [&] { return Dimensions()->Item(DimensionName)->GetHierarchies()->Item(HierarchyName); });
}

}  // namespace orvex::olap
