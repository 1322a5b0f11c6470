#include "olap/data_source.h"

#include <pugixml.hpp>

#include "errors/trail.h"
#include "olap/catalog.h"
#include "olap/catalogs.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/cubes.h"
#include "olap/globals.h"
#include "olap/internal/tessel_error.h"
#include "olap/internal/xml.h"
#include "olap/ranges.h"
#include "olap/axes.h"

namespace orvex::olap {

namespace {
constexpr const char* kClass = "DataSource";
constexpr int32_t kConnectionTimeout = 30;
}  // namespace

DataSource::DataSource() : catalogs_(std::make_shared<olap::Catalogs>()) {}

DataSource::~DataSource() {
  try {
    catalogs_->f_Terminate();
  } catch (...) {
    // Ending must not fail; a connection that will not close is released anyway.
  }
}

void DataSource::SetActiveConnection(std::shared_ptr<provider::Connection> ActiveConnection) {
  Trail(kClass, "ActiveConnection [PropertySet]", [&] { catalogs_->f_ActiveConnection(std::move(ActiveConnection)); });
}

void DataSource::SetActiveConnection(std::string_view ActiveConnection) {
  Trail(kClass, "ActiveConnection [PropertyLet]", [&] {
    catalogs_->f_ActiveConnection(
        Globals::Instance().GetConnection(std::string(ActiveConnection), kConnectionTimeout));
  });
}

std::shared_ptr<provider::Connection> DataSource::ActiveConnection() const {
  return Trail(kClass, "ActiveConnection [PropertyGet]", [&] { return catalogs_->f_ActiveConnection(); });
}

std::shared_ptr<olap::Catalogs> DataSource::Catalogs() const {
  return Trail(kClass, "Catalogs [PropertyGet]", [&] { return catalogs_; });
}

std::shared_ptr<olap::CubeView> DataSource::CreateCubeView(std::string_view CubeViewNode) {
  return Trail(kClass, "CreateCubeView", [&] {
    pugi::xml_document document;
    if (!detail::LoadXml(document, CubeViewNode)) {
      throw detail::TesselError(errors::kInvalidProcedureCall, detail::kXmlNotLoaded);
    }
    pugi::xml_node root = document.document_element();
    std::string data_source = detail::RequiredChildText(root, "dataSource");
    std::string catalog_name = detail::RequiredChildText(root, "catalog");
    pugi::xml_attribute provider = root.child("dataSource").attribute("provider");
    Globals& globals = Globals::Instance();
    SetActiveConnection(std::string_view(globals.BuildConnectionString(
        data_source, Variant(catalog_name), provider ? std::string_view(provider.value()) : "MSOLAP")));

    auto cube = catalogs_->Item(Variant(catalog_name))->Cubes()->Item(Variant(detail::RequiredChildText(root, "cube")));
    auto view = cube->CreateView();
    try {
      if (pugi::xml_node measure = root.child("measure")) view->f_Measure(Variant(detail::InnerText(measure)));
      pugi::xml_node ranges = root.child("ranges");
      pugi::xml_node axes = root.child("axes");
      if (!ranges || !axes) throw detail::TesselPlatformError(errors::kObjectNotSet);
      view->Ranges()->f_Populate(detail::ToXmlText(ranges));
      view->Axes()->f_Populate(detail::ToXmlText(axes));
    } catch (...) {
      // The caller gets no view; end the half-built one so it holds nothing.
      view->f_Terminate();
      throw;
    }
    return view;
  });
}

std::shared_ptr<olap::CubeView> DataSource::CreateExtendedCubeView(std::string_view CubeViewNode) {
  return Trail(kClass, "CreateExtendedCubeView", [&] {
    auto view = CreateCubeView(CubeViewNode);
    try {
      view->f_PopulateExtensions(CubeViewNode);
    } catch (...) {
      view->f_Terminate();
      throw;
    }
    return view;
  });
}

}  // namespace orvex::olap
