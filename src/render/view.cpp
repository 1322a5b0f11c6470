#include "render/view.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "errors/error_builder.h"
#include "errors/trail.h"
#include "html/error_text.h"
#include "html/general.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/catalog.h"
#include "olap/catalogs.h"
#include "olap/cell.h"
#include "olap/cube.h"
#include "olap/cube_view.h"
#include "olap/cubes.h"
#include "olap/data_source.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "olap/range.h"
#include "olap/ranges.h"
#include "platform/scripting/text_stream.h"
#include "platform/text.h"

namespace orvex::render {
namespace {

using frontend::HTMLEncode;
using frontend::HtmlText;
using frontend::JavaScriptStringEncode;
using frontend::PageErrorText;
using frontend::PageWriter;

constexpr std::string_view kClass = "View";

// The start of a cell whose status-bar text and tooltip describe it, and the
// part between the status text and the tooltip.
constexpr std::string_view kStatusCellStart = "<td onMouseOver=\"return changeStatus('";
constexpr std::string_view kStatusCellMiddle = "')\" onMouseOut='return changeStatus(window.defaultStatus)' title=\"";

// A text for a script string that stands inside an HTML attribute. Captions
// come from the cube's data, so both places are guarded: the script string
// against quotes and backslashes, the attribute against a double quote (which
// would end it) and against "&" and "<".
std::string AttributeScript(std::string_view text) { return HTMLEncode(JavaScriptStringEncode(text)); }

std::string Number(int64_t value) { return std::to_string(value); }

// A heading link of the table: `action` 1 expand, 2 collapse, 3 isolate, 4
// remove, on position `position` (-1: the whole level) of a level.
std::string HeadingLink(int action, int32_t axis, int32_t hierarchy, int32_t level, int32_t position) {
  struct Kind {
    std::string_view status;
    std::string_view image;
    std::string_view title;
  };
  static constexpr Kind kKinds[] = {
      {"Expand the heading.", "expand", "Expand"},
      {"Collapse the heading.", "collapse", "Collapse"},
      {"Isolate the heading.", "isolate", "Isolate"},
      {"Remove the heading.", "remove", "Remove"},
  };
  const Kind& kind = kKinds[action - 1];
  return "<a onMouseOver=\"return changeStatus('" + std::string(kind.status) +
         "')\" onMouseOut=\"return changeStatus(window.defaultStatus)\" href=\"javascript:performAction(" +
         Number(action) + ", " + Number(axis) + ", " + Number(hierarchy) + ", " + Number(level) + ", " +
         Number(position) + ", '')\"><img src='images/" + std::string(kind.image) + ".gif' alt='" +
         std::string(kind.title) + "' title='" + std::string(kind.title) + "' border='0'></img></a>";
}

// The cell that names a hierarchy beside or below its headings.
std::string HierarchyCaptionCell(const std::string& caption, int32_t col_span, int32_t row_span) {
  return std::string(kStatusCellStart) + AttributeScript(caption) + std::string(kStatusCellMiddle) +
         HTMLEncode(caption) + "\" class='heading2' colSpan='" + Number(col_span) + "' rowSpan='" + Number(row_span) +
         "' nowrap valign='top'>" + HTMLEncode(caption) + "</td>";
}

// A request value as a whole number when it is one; -1 when it is empty or no number.
int32_t OptionalInteger(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty() || !Variant(trimmed).IsNumeric()) return -1;
  return Variant(trimmed).ToLong();
}

// A highlighted position: a number from 0 up, where a value that is not a
// number, is negative or is beyond any position (too large for a position
// index) means no highlight rather than an error.
int32_t HighlightIndex(const std::string& text) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty() || !Variant(trimmed).IsNumeric()) return -1;
  double value = 0;
  try {
    value = Variant(trimmed).ToDouble();
  } catch (const ComError&) {
    return -1;  // a number beyond a double's range, such as 1e999
  }
  if (!(value > -0.5 && value < 2147483647.5)) return -1;
  return Variant(trimmed).ToLong();
}

// A request value that must be a whole number: anything else is a type mismatch.
int32_t RequiredInteger(const std::string& text) { return Variant(text).ToLong(); }

bool IsMeasures(const std::string& dimension_name) { return ToLower(Trim(dimension_name)) == "measures"; }

// The lines of synchronize() that fill the pane's list `list` with `count`
// names (each the option's text and value), sort it and select the option
// named `selected`, without regard to case. With `no_choice` an empty first
// option stands for choosing none. A name that cannot be read is left out
// when `page` resumes after failures.
void WriteNameOptions(PageWriter& page, const std::string& list, int32_t count,
                      const std::function<std::string(int32_t)>& name_at, const std::string& selected, bool no_choice) {
  page.Line("            strSelectedValue = '';");
  page.Line("            if(" + list + " != null) {");
  page.Line("                arrOptions = " + list + ".options;");
  if (no_choice) {
    page.Line("                arrOptions[arrOptions.length] = createOption(wndParams.document, '', '');");
    page.Line("                arrOptions.selectedIndex = 0;");
  }
  for (int32_t index = 0; index < count; ++index) {
    page.Do([&] {
      const std::string name = name_at(index);
      const std::string text = JavaScriptStringEncode(name);
      page.Line("                objOption = createOption(wndParams.document, \"" + text + "\", \"" + text + "\");");
      page.Line("                arrOptions[arrOptions.length] = objOption;");
      if (EqualsIgnoreCase(name, selected)) page.Line("                strSelectedValue = objOption.value;");
    });
  }
  page.Line("                wndParams.sortOptions(" + list + ");");
  page.Line("                selectValue(" + list + ", strSelectedValue, true);");
  page.Line("            }");
}

// The script line that adds an option for `hierarchy` to the list whose
// options are in arrOptions: its caption as text, and its dimension and
// hierarchy names, split by the client's delimiter, as value.
std::string HierarchyOptionLine(std::string_view indent, olap::AxisHierarchy& hierarchy) {
  return std::string(indent) + "arrOptions[arrOptions.length] = createOption(wndParams.document, \"" +
         JavaScriptStringEncode(hierarchy.Caption()) + "\", \"" +
         JavaScriptStringEncode(hierarchy.Dimension()->Name()) + "\" + delim() + \"" +
         JavaScriptStringEncode(hierarchy.Name()) + "\");";
}

// A range bound as synchronize() passes it: null for no bound.
std::string BoundText(const Variant& bound) { return bound.IsNull() ? "null" : bound.ToString(); }

std::string Bool(bool value) { return value ? "true" : "false"; }

}  // namespace

View::View() { Initialize(); }
View::~View() = default;

void View::Initialize() {
  data_source_ = std::make_unique<olap::DataSource>();
  catalog_name_.clear();
  cube_view_.reset();
}

EventLog& View::Log() {
  if (!event_log_) event_log_ = std::make_unique<EventLog>();
  return *event_log_;
}

void View::WriteXMLPage(const asp::Request& objRequest, asp::Response& objResponse, int32_t lngFormat) {
  Trail(kClass, "WriteXMLPage", [&] {
    if (!cube_view_) {
      Populate(objRequest, "", "");
      PerformAction(objRequest);
    }
    if (!cube_view_) throw ComError::Platform(errors::kObjectNotSet, "Halvern");
    const std::string xml = cube_view_->ToXML(lngFormat);
    // Declared XML only once there is a document: a failure is shown by the
    // front end as a message, which a browser would not show as XML.
    objResponse.SetContentType("text/xml");
    objResponse.Write(xml);
  });
}

void View::WriteHTMLTablePage(const asp::Request& objRequest, asp::Response& objResponse, const asp::Server& objServer,
                              int32_t lngInteractivity, std::string_view strDefaultDSN, std::string_view strXML) {
  // The first failure is what the user is shown instead of the table; every
  // failure is logged and the page goes on with its next statement.
  std::optional<std::string> message;
  PageWriter page(objResponse, [&](const ComError& error) {
    if (!message) message = error.description();
    ErrorBuilder::LogError(&Log(), error.number(),
                           ErrorBuilder::AppendToErrorSource(error.source(), kClass, "WriteHTMLTablePage"),
                           error.description());
  });

  int32_t display_filter = 1;
  bool split_headings = false;
  int32_t column_highlight = -1;
  int32_t row_highlight = -1;
  const asp::RequestCollection& form = objRequest.Form();
  page.Do([&] { display_filter = ToLower(Trim(form.Item("display_filter").ToString())) == "true" ? 2 : 1; });
  page.Do([&] { split_headings = ToLower(Trim(form.Item("split_headings").ToString())) == "true"; });
  page.Do([&] { column_highlight = HighlightIndex(form.Item("axis0_highlight").ToString()); });
  page.Do([&] { row_highlight = HighlightIndex(form.Item("axis1_highlight").ToString()); });

  page.Line("<html>");
  page.Line("    <head>");
  page.Line("        <title>Orvex</title>");
  page.Line("        <style>");
  page.Line("            <!--");
  page.Piece([&] {
    scripting::TextStream style = scripting::TextStream::OpenForReading(objServer.MapPath("styles/default.css"));
    std::string text = style.ReadAll();
    style.Close();
    return text;
  });
  page.Line("            -->");
  page.Line("        </style>");
  page.Line("    </head>");
  page.Line("    <body>");
  if (lngInteractivity != 0) {
    page.Line("        <script language='JavaScript' src='js/General.js'></script>");
    frontend::WriteMessagesScript(page);
    page.Line("        <script language='JavaScript' src='js/View.js'></script>");
    page.Line("        <script language='JavaScript' src='js/ListBox.js'></script>");
  } else {
    page.Line("        <script language='JavaScript'>");
    page.Line("            function changeStatus(strStatus) {");
    page.Line("                window.status = strStatus;");
    page.Line("                return true;");
    page.Line("            }");
    page.Line("        </script>");
  }
  page.Line("        <script language='JavaScript'>");
  page.Line("            var loaded = false;");
  page.Line("            window.defaultStatus = 'Loading...';");
  page.Line("        </script>");
  page.Line([&] {
    return "        <form name=\"frmInterface\" action=\"" + frontend::GetURL(objRequest) + "?id=1\" method=\"post\">";
  });

  if (!cube_view_) {
    page.Do([&] { Populate(objRequest, strDefaultDSN, strXML); });
    if (!message) page.Do([&] { PerformAction(objRequest); });
  }

  std::string data_source_text;
  std::string provider_text;
  std::string definition_text;
  if (data_source_->ActiveConnection()) {
    Dictionary items;
    page.Do([&] { items = globals_.ParseConnectionString(data_source_->ActiveConnection()->ConnectionString()); });
    page.Do([&] { data_source_text = items.Item("Data Source").ToString(); });
    page.Do([&] { provider_text = items.Item("Provider").ToString(); });
    if (cube_view_) page.Do([&] { definition_text = cube_view_->ToXML(0); });
  }

  page.Line("            <table border='0' cellspacing='2' cellpadding='2'>");
  if (message) {
    page.Line("                <tr><td class='heading0BorderAll'>" + HTMLEncode(PageErrorText(*message, catalog_name_)) +
              "</td></tr>");
  } else {
    page.Do([&] {
      FillHTMLTable(objResponse, lngInteractivity, display_filter, split_headings, column_highlight, row_highlight);
    });
  }
  page.Line("            </table>");

  if (lngInteractivity > 0) {
    auto hidden = [&](std::string_view name, const std::string& value) {
      page.Line("            <input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + HTMLEncode(value) +
                "\"></input>");
    };
    hidden("xml", definition_text);
    hidden("data_source", data_source_text);
    hidden("provider", provider_text);
    hidden("catalog", catalog_name_);
    for (std::string_view name : {"cube", "actionID", "axisID", "hierarchyID", "levelID", "positionID", "value"}) {
      hidden(name, "");
    }
    hidden("split_headings", Bool(split_headings));
    hidden("display_filter", Bool(display_filter > 1));
    hidden("axis0_highlight", Number(column_highlight));
    hidden("axis1_highlight", Number(row_highlight));
  }
  page.Line("        </form>");
  page.Line("        <script language='JavaScript'>");
  if (lngInteractivity > 0) {
    page.Do([&] { WriteJScriptSynchronize(objRequest, objResponse, display_filter, split_headings); });
    page.Line("            synchronize();");
  }
  page.Line("            loaded = true;");
  page.Line("            window.defaultStatus = 'Orvex';");
  page.Line("        </script>");
  page.Line("    </body>");
  page.Line("</html>");
}

void View::Populate(const asp::Request& objRequest, std::string_view strDefaultDSN, std::string_view strXML) {
  Trail(kClass, "Populate", [&] {
    Initialize();
    std::string xml(strXML);
    if (xml.empty()) xml = Trim(objRequest.Form().Item("xml").ToString());
    if (!xml.empty()) {
      cube_view_ = data_source_->CreateCubeView(xml);
      catalog_name_ = cube_view_->Cube()->Catalog()->Name();
      return;
    }

    std::string data_source_name = objRequest.Item("data_source").ToString();
    if (data_source_name.empty()) {
      data_source_name = !strDefaultDSN.empty() ? std::string(strDefaultDSN)
                                                : objRequest.ServerVariables().Item("SERVER_NAME").ToString();
    }
    if (data_source_name.empty()) return;
    std::string provider = objRequest.Item("provider").ToString();
    if (provider.empty()) provider = "MSOLAP";
    const std::string connection_string = globals_.BuildConnectionString(data_source_name, Variant(), provider);
    data_source_->SetActiveConnection(globals_.GetConnection(connection_string, 30));
    if (!data_source_->ActiveConnection()) return;

    catalog_name_ = objRequest.Item("catalog").ToString();
    if (catalog_name_.empty()) catalog_name_ = data_source_->ActiveConnection()->DefaultDatabase();
    const std::string cube_name = objRequest.Item("cube").ToString();
    if (cube_name.empty()) return;
    cube_view_ =
        data_source_->Catalogs()->Item(Variant(catalog_name_))->Cubes()->Item(Variant(cube_name))->CreateView();
    const std::string measure = objRequest.Item("measure").ToString();
    if (!measure.empty()) cube_view_->SetMeasure(Variant(measure));
  });
}

void View::PerformAction(const asp::Request& objRequest) {
  Trail(kClass, "PerformAction", [&] {
    if (!cube_view_) return;
    const std::string action = Trim(objRequest.Item("ActionID").ToString());
    const asp::RequestCollection& form = objRequest.Form();
    if (action == "1" || action == "2" || action == "3" || action == "4") {
      const int32_t axis_index = RequiredInteger(form.Item("AxisID").ToString());
      const Variant hierarchy(RequiredInteger(form.Item("HierarchyID").ToString()));
      const int32_t level = OptionalInteger(form.Item("LevelID").ToString());
      const bool on_level = action == "1" || action == "2";
      const int32_t position = on_level && level >= 0 ? OptionalInteger(form.Item("PositionID").ToString())
                                                      : RequiredInteger(form.Item("PositionID").ToString());
      std::shared_ptr<olap::Axis> axis = cube_view_->Axes()->Item(axis_index);
      const Variant level_index = level < 0 ? Variant() : Variant(level);
      if (on_level) {
        // Without a position, expand and collapse work on the level as a whole.
        std::optional<int32_t> heading;
        if (level < 0 || position >= 0) heading = position;
        if (action == "1") {
          axis->ExpandHeading(hierarchy, heading, level_index);
        } else {
          axis->CollapseHeading(hierarchy, heading, level_index);
        }
      } else if (action == "3") {
        axis->IsolateHeading(hierarchy, position, level_index);
      } else {
        axis->RemoveHeading(hierarchy, position, level_index);
      }
    } else if (action == "5") {
      cube_view_->SetMeasure(Variant(form.Item("Value").ToString()));
    } else if (action == "6") {
      cube_view_->Ranges()->Populate(form.Item("Value").ToString());
    } else if (action == "7") {
      cube_view_->Axes()->Populate(form.Item("Value").ToString());
    }
  });
}

void View::FillHTMLTable(asp::Response& objResponse, int32_t lngInteractivity, int32_t lngDisplayFilter,
                         bool blnSplitHeadings, int32_t lngColumnHighlight, int32_t lngRowHighlight) {
  Trail(kClass, "FillHTMLTable", [&] {
    PageWriter page(objResponse);
    auto message_row = [&](int text) {
      page.Line("    <tr><td class='heading0BorderAll' nowrap>" + HtmlText(text) + "</td></tr>");
    };
    if (!cube_view_) return message_row(data_source_->ActiveConnection() ? 82 : 81);
    std::shared_ptr<olap::Axes> axes = cube_view_->Axes();
    const int32_t axis_count = axes->Count();
    if (axis_count == 0) return message_row(83);
    if (axis_count > 2) return message_row(84);
    for (int32_t index = 0; index < axis_count; ++index) {
      if (axes->Item(index)->PositionCount() == 0) return message_row(85);
    }

    std::shared_ptr<olap::Axis> columns = axes->Item(0);
    std::shared_ptr<olap::AxisHierarchies> column_hierarchies = columns->Hierarchies();
    for (int32_t hierarchy_index = 0; hierarchy_index < column_hierarchies->Count(); ++hierarchy_index) {
      std::shared_ptr<olap::AxisHierarchy> hierarchy = column_hierarchies->Item(Variant(hierarchy_index));
      const int32_t highest = hierarchy->Positions()->HighestLevelIndex();
      for (int32_t level_index = 0; level_index <= highest; ++level_index) {
        page.Line("<tr>");
        if (hierarchy_index == 0 && level_index == 0) {
          WriteSlicerCell(objResponse, lngInteractivity, lngDisplayFilter, blnSplitHeadings);
        }
        std::shared_ptr<olap::AxisLevel> level = hierarchy->Levels()->Item(Variant(level_index));
        const int32_t position_count = level->Positions()->Count();
        for (int32_t position = 0; position < position_count;) {
          position = WriteHeading(objResponse, *columns, hierarchy_index, level_index, position, true, lngInteractivity,
                                  blnSplitHeadings, lngColumnHighlight);
        }
        WriteLevelTitle(objResponse, *level, lngInteractivity);
        if (level_index == 0) page.Line(HierarchyCaptionCell(hierarchy->Caption(), 1, highest + 1));
        page.Line("</tr>");
      }
    }

    const int32_t column_count = columns->PositionCount();
    if (axis_count == 1) {
      if (column_hierarchies->Count() == 0) return;
      page.Line("<tr>");
      for (int32_t column = 0; column < column_count; ++column) {
        WriteDataCell(objResponse, column, -1, lngInteractivity, column == lngColumnHighlight);
      }
      page.Line("</tr>");
      return;
    }

    std::shared_ptr<olap::Axis> rows = axes->Item(1);
    std::vector<std::shared_ptr<olap::AxisHierarchy>> row_hierarchies = rows->Hierarchies()->NewEnum();
    size_t heading_columns = 0;
    for (const auto& hierarchy : row_hierarchies) {
      heading_columns += static_cast<size_t>(std::max(hierarchy->Positions()->HighestLevelIndex() + 1, 0));
    }
    std::vector<int32_t> cursor(std::max<size_t>(heading_columns, 1), 0);
    const int32_t row_count = rows->PositionCount();
    for (int32_t row = 0; row < row_count; ++row) {
      WriteDataRow(objResponse, cursor, row, lngInteractivity, blnSplitHeadings, lngColumnHighlight, lngRowHighlight);
    }

    const std::string filler = "<td colSpan='" + Number(int64_t{column_count} + 2) + "'></td>";
    page.Piece("<tr>");
    for (const auto& hierarchy : row_hierarchies) {
      const int32_t highest = hierarchy->Positions()->HighestLevelIndex();
      for (int32_t level_index = 0; level_index <= highest; ++level_index) {
        WriteLevelTitle(objResponse, *hierarchy->Levels()->Item(Variant(level_index)), lngInteractivity);
      }
    }
    page.Line(filler);
    page.Line("</tr>");
    page.Piece("<tr>");
    for (const auto& hierarchy : row_hierarchies) {
      page.Line(HierarchyCaptionCell(hierarchy->Caption(), hierarchy->Positions()->HighestLevelIndex() + 1, 1));
    }
    page.Line(filler);
    page.Line("</tr>");
  });
}

void View::WriteSlicerCell(asp::Response& objResponse, int32_t lngInteractivity, int32_t lngDisplayFilter,
                           bool blnSplitHeadings) {
  Trail(kClass, "WriteSlicerCell", [&] {
    PageWriter page(objResponse);
    std::shared_ptr<olap::Axes> axes = cube_view_->Axes();
    int32_t rows = GetNonEmptyLevelCount(*axes->Item(0));
    int32_t columns = 1;
    std::string_view alignment = "middle";
    if (axes->Count() == 2) {
      columns = GetNonEmptyLevelCount(*axes->Item(1));
      alignment = "bottom";
    } else {
      rows += 1;
    }
    page.Line("<td align='right' valign='" + std::string(alignment) + "' nowrap colSpan='" + Number(columns) +
              "' rowSpan='" + Number(rows) + "'>");
    page.Line("    <table border='0' cellpadding='2' cellspacing='2'>");
    if (lngDisplayFilter > 0) {
      const std::string measure = cube_view_->Measure()->Name();
      page.Line("        <tr>");
      page.Line(
          "            <td onMouseOver=\"return changeStatus('Measure')\" onMouseOut='return "
          "changeStatus(window.defaultStatus)' title=\"Measure\" class='heading2' nowrap valign='top'>Measure</td>");
      page.Piece("            <td onMouseOver=\"return changeStatus('Measure : " + AttributeScript(measure) +
                 std::string(kStatusCellMiddle) + HTMLEncode(measure) +
                 "\" class='heading0BorderAll' nowrap valign='top'");
      if (lngDisplayFilter > 1) {
        page.Piece(" colSpan='" + Number(int64_t{cube_view_->FilterAxis()->PositionCount()} + 1) + "'");
      }
      page.Line(">" + HTMLEncode(measure) + "</td>");
      page.Line("        </tr>");
    }
    if (lngDisplayFilter > 1) {
      std::shared_ptr<olap::Axis> filter = cube_view_->FilterAxis();
      std::shared_ptr<olap::AxisHierarchies> hierarchies = filter->Hierarchies();
      for (int32_t hierarchy_index = 0; hierarchy_index < hierarchies->Count(); ++hierarchy_index) {
        std::shared_ptr<olap::AxisHierarchy> hierarchy = hierarchies->Item(Variant(hierarchy_index));
        if (IsMeasures(hierarchy->Dimension()->Name())) continue;
        const int32_t highest = hierarchy->Positions()->HighestLevelIndex();
        page.Line("        <tr>");
        page.Line("            " + HierarchyCaptionCell(hierarchy->Caption(), 1, highest + 1));
        for (int32_t level_index = 0; level_index <= highest; ++level_index) {
          std::shared_ptr<olap::AxisLevel> level = hierarchy->Levels()->Item(Variant(level_index));
          WriteLevelTitle(objResponse, *level, 0);
          const int32_t position_count = level->Positions()->Count();
          for (int32_t position = 0; position < position_count;) {
            position = WriteHeading(objResponse, *filter, hierarchy_index, level_index, position, true, 0,
                                    blnSplitHeadings, -1);
          }
        }
        page.Line("        </tr>");
      }
    }
    page.Line("    </table>");
    page.Line("</td>");
  });
}

int32_t View::GetNonEmptyLevelCount(olap::Axis& objAxis) {
  return Trail(kClass, "GetNonEmptyLevelCount", [&] {
    int64_t count = 0;
    for (const auto& hierarchy : objAxis.Hierarchies()->NewEnum()) {
      if (hierarchy) count += hierarchy->Positions()->HighestLevelIndex() + 1;
    }
    return static_cast<int32_t>(std::max<int64_t>(count, 1));
  });
}

int32_t View::WriteHeading(asp::Response& objResponse, olap::Axis& objAxis, int32_t lngHierarchy, int32_t lngLevel,
                           int32_t lngPosition, bool blnHorizontal, int32_t lngInteractivity, bool blnSplitHeadings,
                           int32_t lngHighlight) {
  return Trail(kClass, "WriteHeading", [&] {
    PageWriter page(objResponse);
    std::shared_ptr<olap::AxisHierarchy> hierarchy = objAxis.Hierarchies()->Item(Variant(lngHierarchy));
    std::shared_ptr<olap::AxisLevels> levels = hierarchy->Levels();
    std::shared_ptr<olap::AxisLevel> level = levels->Item(Variant(lngLevel));
    std::shared_ptr<olap::Positions> positions = level->Positions();
    const int32_t count = positions->Count();
    int32_t end = lngPosition + 1;
    if (!blnSplitHeadings) {
      while (end < count && level->IsSameHeading(lngPosition, end)) ++end;
    }
    const std::string span = Number(end - lngPosition);
    std::shared_ptr<olap::Position> position = positions->Item(lngPosition);
    const std::string caption = Trim(position->Caption());
    const std::string highlight = lngHighlight >= lngPosition && lngHighlight < end ? "Highlight" : "";
    const std::string shown = caption.empty() ? "&nbsp;" : HTMLEncode(caption);

    page.Piece(std::string(kStatusCellStart) + AttributeScript(hierarchy->Caption()) + " -> " +
               AttributeScript(level->Caption()) + " : " + AttributeScript(caption) + std::string(kStatusCellMiddle) +
               HTMLEncode(caption) + "\" class='heading0BorderAll" + highlight + "' colSpan='" +
               (blnHorizontal ? span : "1") + "' rowSpan='" + (blnHorizontal ? "1" : span) + "' valign='top'>");
    const int32_t axis_index = objAxis.Index();
    if (axis_index >= 0 && lngInteractivity != 0) {
      page.Line("");
      page.Line("<table border='0' cellpadding='0' cellspacing='0' width='100%'>");
      page.Line("<tr>");
      page.Line("<td class='heading0" + highlight + "' nowrap valign='top'>" + shown + "</td>");
      page.Line("<td class='heading0" + highlight + "' nowrap width='100%'>&nbsp;&nbsp;&nbsp;</td>");
      std::string links = "<td class='heading0" + highlight + "' nowrap align='right' valign='top'>";
      std::shared_ptr<provider::Member> member = position->Member();
      if (member && member->ChildCount() > 0) {
        links += HeadingLink(1, axis_index, lngHierarchy, lngLevel, lngPosition);
        if (lngLevel + 1 < levels->Count() && !levels->Item(Variant(lngLevel + 1))->Positions()->AllEmpty()) {
          links += HeadingLink(2, axis_index, lngHierarchy, lngLevel, lngPosition);
        }
      }
      if (lngInteractivity > 1) {
        links += HeadingLink(3, axis_index, lngHierarchy, lngLevel, lngPosition);
        links += HeadingLink(4, axis_index, lngHierarchy, lngLevel, lngPosition);
      }
      page.Line(links + "</td>");
      page.Line("</tr>");
      page.Line("</table>");
    } else {
      page.Piece(shown);
    }
    page.Line("</td>");
    return end;
  });
}

void View::WriteLevelTitle(asp::Response& objResponse, olap::AxisLevel& objLevel, int32_t lngInteractivity) {
  Trail(kClass, "WriteLevelTitle", [&] {
    PageWriter page(objResponse);
    std::shared_ptr<olap::AxisHierarchy> hierarchy = objLevel.Hierarchy();
    const std::string caption = objLevel.Caption();
    page.Piece(std::string(kStatusCellStart) + AttributeScript(hierarchy->Caption()) + " -> " +
               AttributeScript(caption) + std::string(kStatusCellMiddle) + HTMLEncode(caption) +
               "\" class='heading1BorderAll' valign='top'>");
    std::shared_ptr<olap::AxisLevels> levels = hierarchy->Levels();
    const int32_t level_index = objLevel.Index();
    const int32_t axis_index = hierarchy->Axis()->Index();
    if (level_index < levels->Count() - 1 && axis_index >= 0 && lngInteractivity > 0 &&
        !objLevel.Positions()->AllEmpty()) {
      page.Line("<table border='0' cellpadding='0' cellspacing='0'>");
      page.Line("<tr>");
      page.Line("<td nowrap class='heading1' valign='top'>" + HTMLEncode(caption) + "</td>");
      page.Line("<td nowrap class='heading1' width='100%'>&nbsp;&nbsp;&nbsp;</td>");
      std::string links = "<td nowrap class='heading1' align='right'>" +
                          HeadingLink(1, axis_index, hierarchy->Index(), level_index, -1);
      if (!levels->Item(Variant(level_index + 1))->Positions()->AllEmpty()) {
        links += HeadingLink(2, axis_index, hierarchy->Index(), level_index, -1);
      }
      page.Line(links + "</td>");
      page.Line("</tr>");
      page.Line("</table>");
    } else {
      page.Piece(HTMLEncode(caption));
    }
    page.Line("</td>");
  });
}

void View::WriteDataRow(asp::Response& objResponse, std::vector<int32_t>& arrCursor, int32_t lngRow,
                        int32_t lngInteractivity, bool blnSplitHeadings, int32_t lngColumnHighlight,
                        int32_t lngRowHighlight) {
  Trail(kClass, "WriteDataRow", [&] {
    PageWriter page(objResponse);
    page.Line("<tr>");
    std::shared_ptr<olap::Axes> axes = cube_view_->Axes();
    std::shared_ptr<olap::Axis> rows = axes->Item(1);
    std::shared_ptr<olap::AxisHierarchies> hierarchies = rows->Hierarchies();
    size_t column = 0;
    for (int32_t hierarchy_index = 0; hierarchy_index < hierarchies->Count(); ++hierarchy_index) {
      const int32_t highest = hierarchies->Item(Variant(hierarchy_index))->Positions()->HighestLevelIndex();
      for (int32_t level_index = 0; level_index <= highest; ++level_index, ++column) {
        // A heading that spans several rows leaves its column empty in the rows it covers.
        if (arrCursor.at(column) <= lngRow) {
          arrCursor[column] = WriteHeading(objResponse, *rows, hierarchy_index, level_index, arrCursor[column], false,
                                           lngInteractivity, blnSplitHeadings, lngRowHighlight);
        }
      }
    }
    const int32_t column_count = axes->Item(0)->PositionCount();
    for (int32_t data_column = 0; data_column < column_count; ++data_column) {
      WriteDataCell(objResponse, data_column, lngRow, lngInteractivity,
                    data_column == lngColumnHighlight || lngRow == lngRowHighlight);
    }
    page.Line("<td colSpan='2' nowrap></td>");
    page.Line("</tr>");
  });
}

void View::WriteDataCell(asp::Response& objResponse, int32_t lngColumn, int32_t lngRow, int32_t lngInteractivity,
                         bool blnHighlighted) {
  Trail(kClass, "WriteDataCell", [&] {
    if (lngColumn < 0) return;
    std::vector<int32_t> positions{lngColumn};
    if (lngRow >= 0) positions.push_back(lngRow);
    std::shared_ptr<olap::Cell> cell = cube_view_->GetCell(positions);
    std::string value = Trim(cell->FormattedValue());
    int32_t colour = 0;
    if (value.empty()) {
      value = "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
    } else {
      value = HTMLEncode(value);
      const int32_t range_index = cell->RangeIndex();
      if (range_index >= 0) {
        const int32_t range_colour = cube_view_->Ranges()->Item(range_index)->Colour();
        if (range_colour > 0) colour = range_colour;
      }
    }
    std::string text = blnHighlighted ? "<td nowrap class='selectedDataCell'>" : "<td nowrap class='dataCell'>";
    text += "<span class='text" + Number(colour) + "'>";
    if (lngInteractivity > 0) {
      text +=
          "<a onMouseOver=\"return changeStatus('Toggle Highlight')\" onMouseOut=\"return "
          "changeStatus(window.defaultStatus)\" href=\"javascript:toggleHighlight(" +
          Number(lngColumn) + ", " + Number(lngRow) + ")\">" + value + "</a>";
    } else {
      text += value;
    }
    objResponse.Write(text + "</span></td>\n");
  });
}

void View::WriteJScriptSynchronize(const asp::Request& objRequest, asp::Response& objResponse, int32_t lngDisplayFilter,
                                   bool blnSplitHeadings) {
  Trail(kClass, "WriteJScriptSynchronize", [&] {
    static constexpr std::string_view kControls[] = {
        "txtDataSource",    "lbxCatalog",       "lbxCube",         "lbxMeasure",        "lbxAvailable",
        "lbxAxis0",         "lbxAxis0Sort",     "chkAxis0Grouped", "chkAxis0ShowEmpty", "chkAxis0ShowTotals",
        "lbxAxis1",         "lbxAxis1Sort",     "chkAxis1Grouped", "chkAxis1ShowEmpty", "chkAxis1ShowTotals",
        "chkSplitHeadings", "chkDisplayFilter", "lbxRanges"};
    PageWriter page(objResponse);
    page.Line("            function synchronize() {");
    page.Line("                var wndParams = parent.paramsBody;");
    page.Line("                if(wndParams == null) {");
    page.Line("                    return;");
    page.Line("                } else if(wndParams.handleParamChanges == null) {");
    page.Line("                    wndParams.document.location.href = \"" + frontend::GetURL(objRequest) + "?id=5\";");
    page.Line("                    return;");
    page.Line("                }");
    page.Line("                wndParams.handleParamChanges = false;");
    page.Line("                var arrElements = wndParams.document.forms['frmInterface'].elements;");
    for (std::string_view control : kControls) {
      page.Line("                var o" + std::string(control) + " = arrElements['" + std::string(control) + "'];");
    }
    page.Line("                var objOption, strSelectedValue;");
    page.Line("                var arrOptions;");
    page.Line("                wndParams.resetInterface();");
    if (std::shared_ptr<provider::Connection> connection = data_source_->ActiveConnection()) {
      const Dictionary items = globals_.ParseConnectionString(connection->ConnectionString());
      page.Line("                if(otxtDataSource != null) otxtDataSource.value = \"" +
                JavaScriptStringEncode(items.Item("Data Source").ToString()) + "\";");
      std::shared_ptr<olap::Catalogs> catalogs = data_source_->Catalogs();
      WriteNameOptions(
          page, "olbxCatalog", catalogs->Count(), [&](int32_t index) { return catalogs->Item(Variant(index))->Name(); },
          catalog_name_, false);
      // What the view's catalog, cube and axes give is written as far as it
      // can be read: the rest of the pane is still filled.
      PageWriter resuming(objResponse, [](const ComError&) {});
      WriteSynchronizeView(resuming, objResponse, lngDisplayFilter, blnSplitHeadings);
    }
    page.Line("                wndParams.populateRangeFields();");
    page.Line("                wndParams.refreshListBoxes();");
    page.Line("                wndParams.handleParamChanges = true;");
    page.Line("            }");
  });
}

void View::WriteSynchronizeView(PageWriter& page, asp::Response& objResponse, int32_t lngDisplayFilter,
                                bool blnSplitHeadings) {
  std::shared_ptr<olap::Catalog> catalog;
  page.Do([&] { catalog = data_source_->Catalogs()->Item(Variant(catalog_name_)); });
  if (!catalog) return;

  std::string cube_name;
  if (cube_view_) page.Do([&] { cube_name = cube_view_->Cube()->Name(); });
  std::shared_ptr<olap::Cubes> cubes;
  int32_t cube_count = 0;
  page.Do([&] {
    cubes = catalog->Cubes();
    cube_count = cubes->Count();
  });
  WriteNameOptions(
      page, "olbxCube", cube_count, [&](int32_t index) { return cubes->Item(Variant(index))->Name(); }, cube_name,
      true);
  page.Line("            if(ochkSplitHeadings != null) ochkSplitHeadings.checked = " + Bool(blnSplitHeadings) + ";");
  page.Line("            if(ochkDisplayFilter != null) ochkDisplayFilter.checked = " + Bool(lngDisplayFilter >= 2) +
            ";");
  if (!cube_view_) return;

  std::string measure_name;
  std::shared_ptr<provider::Members> measures;
  int32_t measure_count = 0;
  page.Do([&] { measure_name = cube_view_->Measure()->Name(); });
  page.Do([&] {
    measures = cube_view_->Cube()->Measures();
    measure_count = measures->Count();
  });
  WriteNameOptions(
      page, "olbxMeasure", measure_count, [&](int32_t index) { return measures->Item(index)->Name(); }, measure_name,
      false);

  page.Line("            if(olbxAvailable != null) {");
  page.Line("                arrOptions = olbxAvailable.options;");
  std::vector<std::shared_ptr<olap::AxisHierarchy>> available;
  page.Do([&] { available = cube_view_->FilterAxis()->Hierarchies()->NewEnum(); });
  for (const auto& hierarchy : available) {
    page.Do([&] {
      if (!IsMeasures(hierarchy->Dimension()->Name())) page.Line(HierarchyOptionLine("                ", *hierarchy));
    });
  }
  page.Line("                wndParams.sortOptions(olbxAvailable);");
  page.Line("            }");

  page.Do([&] {
    std::shared_ptr<olap::Axes> axes = cube_view_->Axes();
    const int32_t axis_count = axes->Count();
    for (int32_t index = 0; index < std::min(axis_count, 2); ++index) {
      page.Do([&] { WriteJScriptSynchronizeAxis(objResponse, *axes->Item(index)); });
    }
  });

  page.Line("            if(olbxRanges != null) {");
  page.Line("                arrOptions = olbxRanges.options;");
  std::vector<std::shared_ptr<olap::Range>> ranges;
  page.Do([&] { ranges = cube_view_->Ranges()->NewEnum(); });
  for (const auto& range : ranges) {
    page.Line([&] {
      return "                arrOptions[arrOptions.length] = wndParams.buildRangeListOption(" +
             BoundText(range->Floor()) + ", " + BoundText(range->Ceiling()) + ", " + Number(range->Colour()) + ");";
    });
  }
  page.Line("            }");
}

void View::WriteJScriptSynchronizeAxis(asp::Response& objResponse, olap::Axis& objAxis) {
  Trail(kClass, "WriteJScriptSynchronizeAxis", [&] {
    PageWriter page(objResponse);
    const std::string n = Number(objAxis.Index());
    page.Line("                if(olbxAxis" + n + " != null) {");
    page.Line("                    arrOptions = olbxAxis" + n + ".options;");
    for (const auto& hierarchy : objAxis.Hierarchies()->NewEnum()) {
      page.Line(HierarchyOptionLine("                    ", *hierarchy));
    }
    page.Line("                }");
    page.Line("                selectValue(olbxAxis" + n + "Sort, \"" + Number(objAxis.SortOrder()) + "\", true);");
    page.Line("                if(ochkAxis" + n + "Grouped != null) ochkAxis" + n +
              "Grouped.checked = " + Bool(objAxis.GroupByLevel()) + ";");
    page.Line("                wndParams.updateGroupedCheckBox(" + n + ");");
    page.Line("                if(ochkAxis" + n + "ShowEmpty != null) ochkAxis" + n +
              "ShowEmpty.checked = " + Bool(objAxis.ShowEmpty()) + ";");
    page.Line("                if(ochkAxis" + n + "ShowTotals != null) ochkAxis" + n +
              "ShowTotals.checked = " + Bool(objAxis.ShowTotalsOnExpand()) + ";");
  });
}

}  // namespace orvex::render
