#include "olap/axes.h"

#include <pugixml.hpp>

#include "errors/trail.h"
#include "olap/axis.h"
#include "olap/cube_view.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "Axes";
}  // namespace

std::shared_ptr<olap::Axis> Axes::Item(int32_t Index) const {
  return Trail(kClass, "Item [PropertyGet]", [&] {
    if (Index < 0 || Index >= Count()) throw detail::TesselPlatformError(errors::kSubscriptOutOfRange);
    return axes_[static_cast<size_t>(Index)];
  });
}

std::vector<std::shared_ptr<olap::Axis>> Axes::NewEnum() const {
  return Trail(kClass, "NewEnum", [&] { return axes_; });
}

int32_t Axes::Count() const {
  return Trail(kClass, "Count [PropertyGet]", [&] { return static_cast<int32_t>(axes_.size()); });
}

int32_t Axes::Add(std::optional<std::string> xmlAxis, std::optional<int32_t> Before) {
  return Trail(kClass, "Add", [&] {
    int32_t index = p_Add(std::move(xmlAxis), Before);
    p_CubeView()->f_ClearResults();
    return index;
  });
}

void Axes::Remove(std::optional<int32_t> Index) {
  Trail(kClass, "Remove", [&] {
    p_Remove(Index);
    p_CubeView()->f_ClearResults();
  });
}

void Axes::Populate(std::string_view AxesNode) {
  Trail(kClass, "Populate", [&] {
    f_Populate(AxesNode);
    p_CubeView()->f_ClearResults();
  });
}

void Axes::f_Construct(const std::shared_ptr<olap::CubeView>& CubeView) {
  Trail(kClass, "f_Construct", [&] {
    if (!CubeView) throw detail::TesselError(errors::kInvalidProcedureCall, detail::kCubeViewArgument);
    view_ = CubeView;
  });
}

void Axes::f_Terminate() {
  Trail(kClass, "f_Terminate", [&] {
    auto axes = std::move(axes_);
    axes_.clear();
    for (const auto& axis : axes) axis->f_Terminate();
    view_.reset();
  });
}

void Axes::f_Populate(std::string_view AxesNode) {
  Trail(kClass, "f_Populate", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, AxesNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    std::vector<std::string> elements;
    for (pugi::xml_node axis : document.document_element().children("axis")) {
      elements.push_back(detail::ToXmlText(axis));
    }
    size_t existing = axes_.size();
    for (size_t index = 0; index < std::min(elements.size(), existing); ++index) {
      axes_[index]->f_Populate(elements[index]);
    }
    while (axes_.size() > elements.size()) p_Remove(static_cast<int32_t>(axes_.size()) - 1);
    for (size_t index = existing; index < elements.size(); ++index) p_Add(elements[index], std::nullopt);
  });
}

std::shared_ptr<olap::CubeView> Axes::p_CubeView() const {
  return Trail(kClass, "p_CubeView [PropertyGet]", [&] { return detail::Lock(view_); });
}

int32_t Axes::p_Add(std::optional<std::string> xmlAxis, std::optional<int32_t> Before) {
  return Trail(kClass, "p_Add", [&] {
    int32_t count = static_cast<int32_t>(axes_.size());
    int32_t before = Before.value_or(count);
    auto axis = std::make_shared<olap::Axis>();
    if (xmlAxis) {
      axis->f_Construct(p_CubeView(), *xmlAxis);
    } else {
      axis->f_Construct(p_CubeView());
    }
    if (before < 0 || before >= count) {
      axes_.push_back(axis);
      before = count;
    } else {
      axes_.insert(axes_.begin() + before, axis);
    }
    Renumber(static_cast<size_t>(before));
    return before;
  });
}

void Axes::p_Remove(std::optional<int32_t> Index) {
  Trail(kClass, "p_Remove", [&] {
    if (!Index) {
      while (!axes_.empty()) p_Remove(static_cast<int32_t>(axes_.size()) - 1);
      return;
    }
    auto axis = Item(*Index);
    axis->f_Terminate();
    axes_.erase(axes_.begin() + *Index);
    Renumber(static_cast<size_t>(*Index));
  });
}

void Axes::Renumber(size_t from) {
  for (size_t index = from; index < axes_.size(); ++index) axes_[index]->f_Index(static_cast<int32_t>(index));
}

}  // namespace orvex::olap
