#include "frontend/orvex.h"

#include "errors/error_builder.h"
#include "errors/trail.h"
#include "html/error_text.h"
#include "html/general.h"
#include "platform/asp/application.h"
#include "platform/text.h"

namespace orvex::frontend {
namespace {

constexpr std::string_view kClass = "Orvex";
constexpr std::string_view kComponent = "Halvern";

// One hosting object that WriteInterface expects: its type name, and the
// messages for a wrong type and for a missing object.
struct HostingObject {
  const Variant& value;
  std::string_view type_name;
  std::string_view name;
};

ComError InvalidArgument(std::string message) {
  return ComError(errors::kInvalidProcedureCall, std::string(kComponent), std::move(message));
}

// The object that `value` holds as the interface `T`; null when it holds
// none, or holds an object that only claims that interface's type name.
template <class T>
std::shared_ptr<T> ObjectAs(const Variant& value) {
  return value.IsObject() ? std::dynamic_pointer_cast<T>(value.ToObject()) : nullptr;
}

}  // namespace

Orvex::Orvex() : saved_views_(std::make_unique<WebFileSystem>()) {}
Orvex::~Orvex() = default;

void Orvex::SetDataSourceDisplayMode(int32_t lngRHS) {
  Trail(kClass, "DataSourceDisplayMode [PropertyLet]", [&] { data_source_display_mode_ = lngRHS; });
}

void Orvex::SetCatalogDisplayMode(int32_t lngRHS) {
  Trail(kClass, "CatalogDisplayMode [PropertyLet]", [&] {
    catalog_display_mode_ = lngRHS;
    if (lngRHS == dmHidden) data_source_display_mode_ = dmHidden;
  });
}

void Orvex::SetCubeDisplayMode(int32_t lngRHS) {
  Trail(kClass, "CubeDisplayMode [PropertyLet]", [&] {
    cube_display_mode_ = lngRHS;
    if (lngRHS == dmHidden) data_source_display_mode_ = catalog_display_mode_ = dmHidden;
  });
}

void Orvex::SetMeasureDisplayMode(int32_t lngRHS) {
  Trail(kClass, "MeasureDisplayMode [PropertyLet]", [&] {
    measure_display_mode_ = lngRHS;
    if (lngRHS == dmHidden) data_source_display_mode_ = catalog_display_mode_ = cube_display_mode_ = dmHidden;
  });
}

void Orvex::SetAxesDisplayMode(int32_t lngRHS) {
  Trail(kClass, "AxesDisplayMode [PropertyLet]", [&] {
    axes_display_mode_ = lngRHS;
    if (lngRHS == dmHidden) data_source_display_mode_ = catalog_display_mode_ = cube_display_mode_ = dmHidden;
  });
}

void Orvex::SetRangesDisplayMode(int32_t lngRHS) {
  Trail(kClass, "RangesDisplayMode [PropertyLet]", [&] { ranges_display_mode_ = lngRHS; });
}

void Orvex::SetSavedViewsDisplayMode(int32_t lngRHS) {
  Trail(kClass, "SavedViewsDisplayMode [PropertyLet]", [&] { saved_views_display_mode_ = lngRHS; });
}

void Orvex::SetDefaultDataSource(std::string_view strRHS) {
  Trail(kClass, "DefaultDataSource [PropertyLet]", [&] { default_data_source_ = Trim(strRHS); });
}

void Orvex::WriteInterface(const Variant& Request, const Variant& Response, const Variant& Server,
                           const Variant& Application) {
  const HostingObject objects[] = {
      {Request, "IRequest", "Request"},
      {Response, "IResponse", "Response"},
      {Server, "IServer", "Server"},
      {Application, "IApplicationObject", "Application"},
  };
  std::shared_ptr<asp::Request> objRequest;
  std::shared_ptr<asp::Response> objResponse;
  std::shared_ptr<asp::Server> objServer;
  try {
    Trail(kClass, "WriteInterface", [&] {
      for (const HostingObject& object : objects) {
        if (!EqualsIgnoreCase(object.value.TypeName(), object.type_name)) {
          throw InvalidArgument("The '" + std::string(object.name) + "' argument must be a reference to an ASP '" +
                                std::string(object.name) + "' object.");
        }
      }
      // The platform reports the type name "Nothing" for an empty reference,
      // so an empty reference already fails above; what can still be empty
      // here is an object that reports the right type name without being one.
      objRequest = ObjectAs<asp::Request>(Request);
      objResponse = ObjectAs<asp::Response>(Response);
      objServer = ObjectAs<asp::Server>(Server);
      const bool present[] = {objRequest != nullptr, objResponse != nullptr, objServer != nullptr,
                              ObjectAs<asp::Application>(Application) != nullptr};
      for (size_t index = 0; index < std::size(objects); ++index) {
        if (!present[index]) {
          throw InvalidArgument("The '" + std::string(objects[index].name) + "' object cannot be Nothing.");
        }
      }
    });
  } catch (const ComError& error) {
    LogError(error);
    throw;
  }

  try {
    Trail(kClass, "WriteInterface", [&] {
      Log().LogEvent("About to write interface", EventLog::kInformation);
      WritePage(objRequest->QueryString().Item("ID").ToString(), *objRequest, *objResponse, *objServer);
      Log().LogEvent("Done", EventLog::kInformation);
    });
  } catch (const ComError& error) {
    LogError(error);
    // The description may carry what a client sent (a view's name, say), so it
    // is written as HTML text.
    std::string catalog;
    try {
      if (objRequest && RevealsServerDetail(error.description())) catalog = objRequest->Item("catalog").ToString();
    } catch (const std::exception&) {
      // The request itself failed; the text is shown without the catalog's name.
    }
    try {
      objResponse->Write("The following error has occurred: \n" + HTMLEncode(PageErrorText(error.description(), catalog)));
    } catch (const std::exception&) {
      // Nothing more can be shown; the error is in the log.
    }
  }
}

void Orvex::WritePage(const std::string& strPageID, const asp::Request& objRequest, asp::Response& objResponse,
                      asp::Server& objServer) {
  if (strPageID == "1") {
    WriteView(objRequest, objResponse, objServer);
  } else if (strPageID == "2") {
    WriteSnapshot(objRequest, objResponse, objServer);
  } else if (strPageID == "3") {
    WriteSavedViews(objRequest, objResponse);
  } else if (strPageID == "4") {
    WriteParamsHeader(objResponse);
  } else if (strPageID == "5") {
    WriteParamsBody(objRequest, objResponse);
  } else if (strPageID == "6") {
    WriteViewHeader(objRequest, objResponse);
  } else if (strPageID == "7") {
    WriteHeader(objResponse);
  } else {
    WriteFrameset(objRequest, objResponse);
  }
}

PageWriter Orvex::ResumingPage(asp::Response& objResponse, std::string_view procedure) {
  return PageWriter(objResponse, [this, procedure = std::string(procedure)](const ComError& error) {
    LogError(ComError(error.number(), ErrorBuilder::AppendToErrorSource(error.source(), kClass, procedure),
                      error.description()));
  });
}

void Orvex::LogError(const ComError& error) {
  ErrorBuilder::LogError(&Log(), error.number(), error.source(), error.description());
}

EventLog& Orvex::Log() {
  if (!event_log_) event_log_ = std::make_unique<EventLog>();
  return *event_log_;
}

bool Orvex::ShowsParameters() const {
  for (int32_t mode : {data_source_display_mode_, catalog_display_mode_, cube_display_mode_, measure_display_mode_,
                       axes_display_mode_, ranges_display_mode_, saved_views_display_mode_}) {
    if (mode == dmEdit) return true;
  }
  return false;
}

}  // namespace orvex::frontend
