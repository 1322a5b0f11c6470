#include "olap/ranges.h"

#include <pugixml.hpp>

#include "errors/trail.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"
#include "olap/range.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Ranges";
}  // namespace

std::shared_ptr<olap::Range> Ranges::Item(int32_t Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] {
    if (Index < 0 || Index >= Count()) throw detail::TesselPlatformError(errors::kSubscriptOutOfRange);
    return ranges_[static_cast<size_t>(Index)];
  });
}

std::vector<std::shared_ptr<olap::Range>> Ranges::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return ranges_; });
}

int32_t Ranges::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return static_cast<int32_t>(ranges_.size()); });
}

int32_t Ranges::Add(const Variant& Floor, const Variant& Ceiling, int32_t Colour) {
  return Trail(kClass, "Add", [&] {
    auto range = std::make_shared<olap::Range>();
    range->f_Construct(p_CubeView(), Floor, Ceiling, Colour);
    int32_t index = p_Add(std::move(range));
    p_CubeView()->f_ClearResults();
    return index;
  });
}

void Ranges::Remove(const Variant& Index) {
  Trail(kClass, "Remove", [&] {
    p_Remove(Index);
    p_CubeView()->f_ClearResults();
  });
}

void Ranges::Populate(std::string_view RangesNode) {
  Trail(kClass, "Populate", [&] {
    f_Populate(RangesNode);
    p_CubeView()->f_ClearResults();
  });
}

int32_t Ranges::FindLast(double Value) const {
  return Trail(kClass, "FindLast", [&] {
    for (int32_t index = Count() - 1; index >= 0; --index) {
      if (ranges_[static_cast<size_t>(index)]->IncludesValue(Value)) return index;
    }
    return -1;
  });
}

void Ranges::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView) {
  Trail(kClass, "f_Construct", [&] {
    if (!CubeView) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kCubeViewArgument);
    view_ = CubeView;
  });
}

void Ranges::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    for (const auto& range : ranges_) range->f_Terminate();
    ranges_.clear();
    view_.reset();
  });
}

void Ranges::f_Populate(std::string_view RangesNode) {
  Trail(kClass, "f_Populate", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, RangesNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    p_Remove(Variant());
    for (pugi::xml_node element : document.document_element().children("range")) {
      auto range = std::make_shared<olap::Range>();
      range->f_Construct(p_CubeView(), Variant::Null(), Variant::Null(),
                         Variant(detail::RequiredChildText(element, "colour")).ToLong());
      std::string floor = detail::RequiredChildText(element, "floor");
      if (!floor.empty()) range->f_Floor(Variant(floor));
      std::string ceiling = detail::RequiredChildText(element, "ceiling");
      if (!ceiling.empty()) range->f_Ceiling(Variant(ceiling));
      p_Add(std::move(range));
    }
  });
}

std::shared_ptr<olap::CubeView> Ranges::p_CubeView() const {
  return Trail(kClass, "p_CubeView [PropertyGet]", [&] { return detail::Lock(view_); });
}

int32_t Ranges::p_Add(std::shared_ptr<olap::Range> range) {
  return Trail(kClass, "p_Add", [&] {
    ranges_.push_back(std::move(range));
    return static_cast<int32_t>(ranges_.size()) - 1;
  });
}

void Ranges::p_Remove(const Variant& Index) {
  Trail(kClass, "p_Remove", [&] {
    if (Index.IsEmpty()) {
      while (!ranges_.empty()) p_Remove(Variant(0));
      return;
    }
    int32_t index = Index.ToLong();
    auto range = Item(index);
    range->f_Terminate();
    ranges_.erase(ranges_.begin() + index);
  });
}

}  // namespace orvex::olap
