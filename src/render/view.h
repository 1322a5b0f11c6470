#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "errors/event_log.h"
#include "html/page_writer.h"
#include "olap/globals.h"
#include "platform/asp/request.h"
#include "platform/asp/response.h"
#include "platform/asp/server.h"

namespace orvex::olap {
class Axis;
class AxisLevel;
class CubeView;
class DataSource;
}  // namespace orvex::olap

// The view renderer of the front end. Argument names follow the component's
// type prefixes (lngInteractivity, strXML, objResponse).
namespace orvex::render {

// Turns one request into one page about a cube view: it rebuilds the view from
// the request (a posted definition, or a data source, catalog, cube and measure
// named in the request), applies the heading or parameter action the user
// clicked, and writes the view as an interactive or static HTML table, or as
// its definition document. A View serves one request on one thread.
class View {
 public:
  View();
  ~View();
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // Writes the whole HTML page of the view: interactivity 0 a static table
  // (snapshots), 1 or more links for expanding, collapsing and highlighting,
  // 2 or more also isolating and removing. The view comes from `strXML` when
  // it is not empty, else from the request; `strDefaultDSN` is the data source
  // of a request that names none. Never throws: a failure before the table is
  // logged and shown in place of the table, a later one is logged and skipped.
  void WriteHTMLTablePage(const asp::Request& objRequest, asp::Response& objResponse, const asp::Server& objServer,
                          int32_t lngInteractivity, std::string_view strDefaultDSN = {}, std::string_view strXML = {});

  // Writes the view definition document in `lngFormat` (3: headings, filter
  // axis and cells) as an XML page, and nothing else. Throws when no view can
  // be built from the request.
  void WriteXMLPage(const asp::Request& objRequest, asp::Response& objResponse, int32_t lngFormat);

 private:
  // Starts again with a fresh data source and no view, then builds the view
  // from `strXML`, the posted "xml", or the names in the request.
  void Populate(const asp::Request& objRequest, std::string_view strDefaultDSN, std::string_view strXML);
  // Applies the action the request carries ("ActionID" 1 to 7) to the view.
  void PerformAction(const asp::Request& objRequest);

  // The rows of the view table, or one message row when there is nothing to show.
  void FillHTMLTable(asp::Response& objResponse, int32_t lngInteractivity, int32_t lngDisplayFilter,
                     bool blnSplitHeadings, int32_t lngColumnHighlight, int32_t lngRowHighlight);
  // The top-left cell: the measure and, with display-filter mode 2, the filter axis.
  void WriteSlicerCell(asp::Response& objResponse, int32_t lngInteractivity, int32_t lngDisplayFilter,
                       bool blnSplitHeadings);
  // The heading levels of an axis, at least 1.
  int32_t GetNonEmptyLevelCount(olap::Axis& objAxis);
  // One heading cell for the run of equal headings that starts at
  // `lngPosition`; returns the position after the run.
  int32_t WriteHeading(asp::Response& objResponse, olap::Axis& objAxis, int32_t lngHierarchy, int32_t lngLevel,
                       int32_t lngPosition, bool blnHorizontal, int32_t lngInteractivity, bool blnSplitHeadings,
                       int32_t lngHighlight);
  // The title cell of a level, with links that expand or collapse it whole.
  void WriteLevelTitle(asp::Response& objResponse, olap::AxisLevel& objLevel, int32_t lngInteractivity);
  // One row of the row axis; `arrCursor` holds, per row-heading column, the
  // row at which that column's next heading is due.
  void WriteDataRow(asp::Response& objResponse, std::vector<int32_t>& arrCursor, int32_t lngRow,
                    int32_t lngInteractivity, bool blnSplitHeadings, int32_t lngColumnHighlight,
                    int32_t lngRowHighlight);
  // One data cell; `lngRow` is -1 for a view of one axis.
  void WriteDataCell(asp::Response& objResponse, int32_t lngColumn, int32_t lngRow, int32_t lngInteractivity,
                     bool blnHighlighted);

  // The script function synchronize() that fills the parameters pane from this view.
  void WriteJScriptSynchronize(const asp::Request& objRequest, asp::Response& objResponse, int32_t lngDisplayFilter,
                               bool blnSplitHeadings);
  // The part of synchronize() that fills the lists and options of one displayed axis.
  void WriteJScriptSynchronizeAxis(asp::Response& objResponse, olap::Axis& objAxis);
  // The part of synchronize() that the view's catalog gives: cubes, options,
  // measures, hierarchies, axes and ranges, through a `page` that skips what fails.
  void WriteSynchronizeView(frontend::PageWriter& page, asp::Response& objResponse, int32_t lngDisplayFilter,
                            bool blnSplitHeadings);

  // Sets the renderer back to a fresh data source without view.
  void Initialize();
  EventLog& Log();

  olap::Globals globals_;
  std::unique_ptr<olap::DataSource> data_source_;
  std::string catalog_name_;
  std::shared_ptr<olap::CubeView> cube_view_;
  std::unique_ptr<EventLog> event_log_;
};

}  // namespace orvex::render
