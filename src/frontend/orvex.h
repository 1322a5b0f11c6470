#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "errors/event_log.h"
#include "html/page_writer.h"
#include "platform/asp/request.h"
#include "platform/asp/response.h"
#include "platform/asp/server.h"
#include "platform/com/variant.h"
#include "webfs/web_file_system.h"

// The web front end. Argument names follow the component's type prefixes
// (lngRHS, strRHS, objRequest, arrFolderNames).
namespace orvex::frontend {

// Whether a section of the parameters pane is written. Every test is a test
// for dmEdit: any other value hides its section.
enum DisplayModes : int32_t { dmEdit = 0, dmHidden = 1 };

// The front end of the explorer, playing the part of the hosting page's
// object: a host creates one per request, sets its properties and calls
// WriteInterface once, which writes the frame the query key "ID" selects.
// Not shared between threads; each request builds its own.
class Orvex {
 public:
  Orvex();
  ~Orvex();
  Orvex(const Orvex&) = delete;
  Orvex& operator=(const Orvex&) = delete;

  // Display modes of the seven sections. Hiding (exactly dmHidden) a lower
  // section also hides the sections it depends on: catalog hides data
  // source; cube hides both; measure and axes hide all three (axes leave the
  // measure alone). Showing never undoes such a cascade.
  void SetDataSourceDisplayMode(int32_t lngRHS);
  void SetCatalogDisplayMode(int32_t lngRHS);
  void SetCubeDisplayMode(int32_t lngRHS);
  void SetMeasureDisplayMode(int32_t lngRHS);
  void SetAxesDisplayMode(int32_t lngRHS);
  void SetRangesDisplayMode(int32_t lngRHS);
  void SetSavedViewsDisplayMode(int32_t lngRHS);
  int32_t DataSourceDisplayMode() const { return data_source_display_mode_; }
  int32_t CatalogDisplayMode() const { return catalog_display_mode_; }
  int32_t CubeDisplayMode() const { return cube_display_mode_; }
  int32_t MeasureDisplayMode() const { return measure_display_mode_; }
  int32_t AxesDisplayMode() const { return axes_display_mode_; }
  int32_t RangesDisplayMode() const { return ranges_display_mode_; }
  int32_t SavedViewsDisplayMode() const { return saved_views_display_mode_; }

  // The saved-views store, for the host to set its root folder, limits and
  // file extension before WriteInterface. Lives as long as this object.
  WebFileSystem& SavedViews() { return *saved_views_; }

  // The data source the view renderer uses when the request names none;
  // stored without leading and trailing blanks.
  void SetDefaultDataSource(std::string_view strRHS);
  const std::string& DefaultDataSource() const { return default_data_source_; }

  // Checks the four hosting objects (each a Variant holding the object) and
  // writes the page that the query string's "ID" selects, "1" to "7", else
  // the frameset. A wrong hosting object is logged and thrown as ComError 5
  // before anything is written. Any later error is logged and shown on the
  // page as "The following error has occurred: " and its description.
  void WriteInterface(const Variant& Request, const Variant& Response, const Variant& Server,
                      const Variant& Application);

 private:
  // The page writers and the procedures they share. Those that pass errors
  // on add "Orvex" and their name to the trail; the others run their page
  // through a resuming PageWriter (ResumingPage) and never throw.
  void WriteSniffer(asp::Response& objResponse);
  void WriteView(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer);
  void WriteSnapshot(const asp::Request& objRequest, asp::Response& objResponse, asp::Server& objServer);
  void WriteParamsHeader(asp::Response& objResponse);
  void WriteParamsBody(const asp::Request& objRequest, asp::Response& objResponse);
  void WriteViewHeader(const asp::Request& objRequest, asp::Response& objResponse);
  void WriteHeader(asp::Response& objResponse);
  void WriteFrameset(const asp::Request& objRequest, asp::Response& objResponse);
  void WriteSubFolders(asp::Response& objResponse, const std::vector<std::string>& arrFolderNames,
                       int32_t lngDepth);
  void WriteSavedViews(const asp::Request& objRequest, asp::Response& objResponse);
  void PerformAction(const asp::Request& objRequest, asp::Response& objResponse);
  void WriteJScriptPopulate(const asp::Request& objRequest, asp::Response& objResponse);

  // Calls the page writer that `strPageID` selects.
  void WritePage(const std::string& strPageID, const asp::Request& objRequest, asp::Response& objResponse,
                 asp::Server& objServer);
  // A writer for the page of `procedure` whose failing statements are logged
  // with "Orvex" and `procedure` added to their trail, and skipped.
  PageWriter ResumingPage(asp::Response& objResponse, std::string_view procedure);
  // Logs an error report for `error` as an error event.
  void LogError(const ComError& error);
  // The event log, created on first use.
  EventLog& Log();
  // True when at least one section is shown, so the frameset has a parameters pane.
  bool ShowsParameters() const;

  int32_t data_source_display_mode_ = dmEdit;
  int32_t catalog_display_mode_ = dmEdit;
  int32_t cube_display_mode_ = dmEdit;
  int32_t measure_display_mode_ = dmEdit;
  int32_t axes_display_mode_ = dmEdit;
  int32_t ranges_display_mode_ = dmEdit;
  int32_t saved_views_display_mode_ = dmEdit;
  std::unique_ptr<WebFileSystem> saved_views_;
  std::string default_data_source_;
  std::unique_ptr<EventLog> event_log_;
};

}  // namespace orvex::frontend
