#include "frontend/general.h"
#include "frontend/orvex.h"

namespace orvex::frontend {
namespace {

// Writes nested markup through a page writer: each element opened on a line
// of its own indents what follows by four more blanks until it is closed.
class NestedPage {
 public:
  NestedPage(PageWriter& page, int depth) : page_(page), depth_(depth) {}

  void Line(std::string_view text) { page_.Line(Indent() + std::string(text)); }
  // A line whose text is made when it is written (a localised label, say); a
  // text that cannot be made leaves the line out.
  template <std::invocable MakeText>
  void Line(MakeText&& make_text) {
    page_.Line([&] { return Indent() + std::string(make_text()); });
  }
  template <class Text>
  void Open(Text&& text) {
    Line(std::forward<Text>(text));
    ++depth_;
  }
  template <class Text>
  void Close(Text&& text) {
    --depth_;
    Line(std::forward<Text>(text));
  }

 private:
  std::string Indent() const { return std::string(static_cast<size_t>(depth_) * 4, ' '); }

  PageWriter& page_;
  int depth_;
};

// A localised text inside a script string that stands in an HTML attribute.
std::string StatusText(int n) { return HTMLEncode(ScriptText(n)); }

// One arrow link: `href` in its own quotes, the image, and the texts of the
// status bar and of the image.
void WriteArrow(NestedPage& html, std::string_view href, std::string_view image, int status, int image_text) {
  html.Line([&] {
    std::string text = HtmlText(image_text);
    return "<a onMouseOver=\"return changeStatus('" + StatusText(status) +
           "')\" onMouseOut='return changeStatus(window.defaultStatus)' href=" + std::string(href) + "><img alt=\"" +
           text + "\" title=\"" + text + "\" src='images/" + std::string(image) +
           "' border='0' WIDTH='15' HEIGHT='15'></a>";
  });
}

// The up or down arrow beside `list`.
void WriteMoveArrow(NestedPage& html, bool up, std::string_view list) {
  const std::string href = std::string("\"javascript:moveSelectedOptions") + (up ? "Up" : "Down") +
                           "(document.forms['frmInterface'].elements['" + std::string(list) + "'])\"";
  WriteArrow(html, href, up ? "up.gif" : "down.gif", up ? 51 : 52, up ? 72 : 73);
}

// A cell holding one arrow.
void WriteArrowCell(NestedPage& html, std::string_view cell, auto write_arrow) {
  html.Open(cell);
  write_arrow();
  html.Close("</td>");
}

// The first cell of a section's first row: its label in a table of its own.
void WriteSectionLabel(NestedPage& html, std::string_view cell, int label) {
  html.Open(cell);
  html.Open("<table border='0' cellspacing='0' cellpadding='2'>");
  html.Open("<tr>");
  html.Line([&] { return "<td class='heading2' valign='top'>" + HtmlText(label) + "</td>"; });
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
}

// A one-row section (data source, catalog, cube, measure): its comment, its
// label and one cell holding `controls`.
void WriteSimpleSection(NestedPage& html, std::string_view name, std::string_view label_cell, int label,
                        auto write_controls) {
  html.Line("<!-- " + std::string(name) + " -->");
  html.Open("<tr>");
  WriteSectionLabel(html, label_cell, label);
  html.Open("<td nowrap class='heading0BorderAll' colspan='2'>");
  write_controls();
  html.Close("</td>");
  html.Close("</tr>");
}

// A cell centring one button in a table of its own.
void WriteApplyCell(NestedPage& html, std::string_view button) {
  html.Open("<td nowrap class='heading0BorderAll' colspan='2' valign='top'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='2' width='100%'>");
  html.Open("<tr>");
  html.Open("<td align='center' nowrap class='heading0'>");
  html.Line([&] {
    return "<input type='button' class='button' name='" + std::string(button) + "' onClick='submit" +
           std::string(button.substr(std::string_view("btnApply").size())) + "()' value=\"" + HtmlText(8) + "\">";
  });
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
}

// The block of one displayed axis: 0 the columns, 1 the rows.
void WriteAxisBlock(NestedPage& html, int axis) {
  const std::string n = std::to_string(axis);
  const std::string list = "lbxAxis" + n;
  const bool rows = axis == 1;
  html.Open("<table border='0' cellspacing='0' cellpadding='2' width='100%'>");
  html.Open("<tr>");
  html.Line([&] {
    return std::string(rows ? "<td colSpan='3' nowrap class='heading1'>" : "<td colSpan='2' nowrap class='heading1'>") +
           HtmlText(rows ? 28 : 27) + "</td>";
  });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Line([&] {
    return std::string(rows ? "<td colspan='3' nowrap class='heading0'>" : "<td nowrap colspan='2' class='heading0'>") +
           HtmlText(29) + "</td>";
  });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0' rowspan='2'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='0'>");
  html.Open("<tr>");
  WriteArrowCell(html, "<td nowrap valign='bottom' class='heading0'>", [&] { WriteMoveArrow(html, true, list); });
  html.Open("<td rowSpan='2' nowrap align='left' class='heading0'>");
  html.Line("<select multiple name='" + list + "' size='4'></select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  WriteArrowCell(html, "<td nowrap class='heading0' valign='top'>", [&] { WriteMoveArrow(html, false, list); });
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
  WriteArrowCell(html, "<td align='right' nowrap valign='bottom' class='heading0'>", [&] {
    WriteArrow(html, "'javascript:moveToAxis" + n + "()'", "left.gif", rows ? 55 : 53, rows ? 76 : 74);
  });
  html.Close("</tr>");
  html.Open("<tr>");
  WriteArrowCell(html, "<td align='right' nowrap valign='top' class='heading0'>", [&] {
    WriteArrow(html, "'javascript:moveFromAxis" + n + "()'", "right.gif", rows ? 56 : 54, rows ? 77 : 75);
  });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open([&] { return "<td nowrap class='heading0' colspan='2'>" + HtmlText(30) + ": "; });
  html.Open("<select name='" + list + "Sort' onChange='updateGroupedCheckBox(" + n + ")'>");
  html.Line([&] { return "<option value='0' selected>" + HtmlText(33) + "</option>"; });
  html.Line([&] { return "<option value='1'>" + HtmlText(31) + "</option>"; });
  html.Line([&] { return "<option value='2'>" + HtmlText(32) + "</option>"; });
  html.Close("</select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0' colspan='2'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='0'>");
  const std::pair<std::string_view, int> options[] = {
      {"Grouped' checked disabled", 34}, {"ShowEmpty' checked", rows ? 36 : 35}, {"ShowTotals' checked", 37}};
  for (const auto& [name, label] : options) {
    html.Open("<tr>");
    html.Line("<td nowrap class='heading0'><input type='checkBox' class='checkBox' name='chkAxis" + n +
              std::string(name) + "></td>");
    html.Line([&] { return "<td nowrap class='heading0'>" + HtmlText(label) + "</td>"; });
    html.Close("</tr>");
  }
  html.Close("</table>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
}

// The block of the hierarchies on no axis, with the two display options.
void WriteFilterBlock(NestedPage& html) {
  html.Open("<table border='0' cellspacing='0' cellpadding='2' width='100%'>");
  html.Open("<tr>");
  html.Line([&] { return "<td nowrap class='heading0' colspan='2'>" + HtmlText(29) + "</td>"; });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0' valign='top' colspan='2'>");
  html.Line("<select name='lbxAvailable' multiple size='23'></select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='0'>");
  for (const auto& [name, label] : {std::pair<std::string_view, int>{"chkDisplayFilter", 38}, {"chkSplitHeadings", 39}}) {
    html.Open("<tr>");
    html.Line("<td class='heading0' nowrap><input type='checkbox' class='checkBox' name='" + std::string(name) +
              "'></td>");
    html.Line([&] { return "<td class='heading0' nowrap>" + HtmlText(label) + "</td>"; });
    html.Close("</tr>");
  }
  html.Close("</table>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
}

void WriteAxesSection(NestedPage& html) {
  html.Line("<!-- Axes -->");
  html.Open("<tr>");
  WriteSectionLabel(html, "<td class='heading2' valign='top' rowspan='3'>", 12);
  html.Line("<!-- Column -->");
  html.Open("<td nowrap class='heading0BorderAll' valign='top'>");
  WriteAxisBlock(html, 0);
  html.Close("</td>");
  html.Line("<!-- Filter Axis -->");
  html.Open("<td nowrap class='heading0BorderAll' rowspan='2' valign='top'>");
  WriteFilterBlock(html);
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  html.Line("<!-- Row -->");
  html.Open("<td nowrap class='heading0BorderAll' valign='top'>");
  WriteAxisBlock(html, 1);
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  html.Line("<!-- Apply -->");
  WriteApplyCell(html, "btnApplyAxes");
  html.Close("</tr>");
}

// A cell of range buttons: `buttons` holds each button's name, its action and its text.
void WriteRangeButtons(NestedPage& html, const std::pair<std::string_view, int> (&buttons)[2]) {
  html.Open("<td align='center' class='heading0BorderAll'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='2'>");
  html.Open("<tr>");
  for (const auto& [action, text] : buttons) {
    std::string name(action);
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    html.Open("<td nowrap class='heading0'>");
    html.Line([&] {
      return "<input type='button' class='button' name='btn" + name + "' onClick=\"changeRanges('" +
             std::string(action) + "')\" value=\"" + HtmlText(text) + "\">";
    });
    html.Close("</td>");
  }
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
}

void WriteRangesSection(NestedPage& html) {
  html.Line("<!-- Ranges -->");
  html.Open("<tr>");
  WriteSectionLabel(html, "<td class='heading2' valign='top' rowspan='3'>", 13);
  html.Open("<td nowrap class='heading0BorderAll'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='0'>");
  html.Open("<tr>");
  WriteArrowCell(html, "<td nowrap class='heading0' valign='bottom'>",
                 [&] { WriteMoveArrow(html, true, "lbxRanges"); });
  html.Open("<td nowrap class='heading0' rowspan='2'>");
  html.Line("<select name='lbxRanges' size='4' onChange='populateRangeFields()'></select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  WriteArrowCell(html, "<td nowrap class='heading0' valign='top'>", [&] { WriteMoveArrow(html, false, "lbxRanges"); });
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
  html.Open("<td nowrap class='heading0BorderAll'>");
  html.Open("<table border='0' cellspacing='0' cellpadding='1'>");
  for (const auto& [label, field] : {std::pair<int, std::string_view>{40, "txtFrom"}, {41, "txtTo"}}) {
    html.Open("<tr>");
    html.Line([&] { return "<td nowrap align='right' class='heading0'>" + HtmlText(label) + ":</td>"; });
    html.Open("<td nowrap class='heading0'>");
    html.Line("<input name='" + std::string(field) + "' type='text' size='9' class='textBox' maxlength='200'>");
    html.Close("</td>");
    html.Close("</tr>");
  }
  html.Open("<tr>");
  html.Line([&] { return "<td nowrap align='right' class='heading0'>" + HtmlText(42) + ":</td>"; });
  html.Open("<td nowrap class='heading0'>");
  html.Open("<select name='lbxColour'>");
  html.Line([&] { return "<option value='0' selected>" + HtmlText(63) + "</option>"; });
  html.Line([&] { return "<option value='-1'>" + HtmlText(64) + "</option>"; });
  for (int code = 1; code <= 7; ++code) {
    html.Line([&] { return "<option value='" + std::to_string(code) + "'>" + HtmlText(64 + code) + "</option>"; });
  }
  html.Close("</select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Open("<tr>");
  WriteRangeButtons(html, {{"delete", 18}, {"clear", 21}});
  WriteRangeButtons(html, {{"change", 22}, {"add", 17}});
  html.Close("</tr>");
  html.Open("<tr>");
  WriteApplyCell(html, "btnApplyRanges");
  html.Close("</tr>");
}

void WriteSavedViewsSection(NestedPage& html) {
  html.Line("<!-- Saved Views -->");
  html.Open("<tr>");
  WriteSectionLabel(html, "<td class='heading2' valign='top' rowspan='2'>", 14);
  html.Open("<td nowrap valign='top' class='heading0BorderAll' valign='top'>");
  html.Open("<table border='0' cellpadding='2' cellspacing='0' width='100%'>");
  html.Open("<tr>");
  html.Line([&] { return "<td nowrap class='heading1' colspan='4'>" + HtmlText(43) + "</td>"; });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0' colspan='4'>");
  html.Open("<select name='lbxFolder' size='5' onChange='if(handleParamChanges && this.selectedIndex >= 0) "
            "openFolder()'>");
  html.Line([&] { return "<option value>" + HtmlText(15) + "</option>"; });
  html.Close("</select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
  html.Open("<td nowrap valign='top' class='heading0BorderAll'>");
  html.Open("<table border='0' cellPadding='2' cellSpacing='0' width='100%'>");
  html.Open("<tr>");
  html.Line([&] { return "<td nowrap class='heading1'>" + HtmlText(44) + "</td>"; });
  html.Close("</tr>");
  html.Open("<tr>");
  html.Open("<td nowrap class='heading0'>");
  html.Line("<select name='lbxView' size='5'></select>");
  html.Close("</td>");
  html.Close("</tr>");
  html.Close("</table>");
  html.Close("</td>");
  html.Close("</tr>");

  struct Button {
    std::string_view name;
    int text;
    std::string_view handler;
  };
  static constexpr Button kGroups[2][3] = {
      {{"btnRefreshFolder", 16, "openFolder"}, {"btnAddFolder", 17, "addFolder"}, {"btnDeleteFolder", 18, "deleteFolder"}},
      {{"btnOpenView", 19, "openView"}, {"btnSaveView", 20, "saveView"}, {"btnDeleteView", 18, "deleteView"}},
  };
  html.Open("<tr>");
  for (const auto& group : kGroups) {
    html.Open("<td nowrap valign='top' class='heading0BorderAll' align='center'>");
    html.Open("<table border='0' cellspacing='0' cellpadding='2'>");
    html.Open("<tr>");
    for (const Button& button : group) {
      html.Open("<td nowrap valign='top' class='heading0' align='center'>");
      html.Line([&] {
        return "<input type='button' class='button' name='" + std::string(button.name) + "' value=\"" +
               HtmlText(button.text) + "\" onClick='" + std::string(button.handler) + "()'>";
      });
      html.Close("</td>");
    }
    html.Close("</tr>");
    html.Close("</table>");
    html.Close("</td>");
  }
  html.Close("</tr>");
}

}  // namespace

// The parameters pane: the form whose lists the view body's synchronize()
// fills, one section per display mode that is dmEdit, and the hidden form
// that the saved-views buttons post to the hidden frame.
void Orvex::WriteParamsBody(const asp::Request& objRequest, asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteParamsBody");
  page.Do([&] { WriteSniffer(objResponse); });
  WriteCommonHead(page);
  page.Line("    <body>");
  page.Line("        <script language='JavaScript' src='js/General.js'></script>");
  page.Line("        <script language='JavaScript' src='js/ListBox.js'></script>");
  WriteMessagesScript(page);
  page.Line("        <script language='JavaScript' src='js/Parameters.js'></script>");
  page.Line("        <form name='frmInterface'>");
  page.Line("            <table border='0' cellspacing='2' cellpadding='0'>");

  NestedPage html(page, 4);
  if (data_source_display_mode_ == dmEdit) {
    WriteSimpleSection(html, "Data Source", "<td class='heading2' valign='top'>", 7, [&] {
      html.Line("<input type='text' class='textBox' name='txtDataSource' size='20' maxlength='200'>");
      html.Line([] {
        return "<input type='button' class='button' name='btnApplyDataSource' value=\"" + HtmlText(8) +
               "\" onclick='submitDataSource()'>";
      });
    });
  }
  if (catalog_display_mode_ == dmEdit) {
    WriteSimpleSection(html, "Catalog", "<td class='heading2' valign='top'>", 9, [&] {
      html.Line("<select name='lbxCatalog' onChange='if(handleParamChanges) submitCatalog()'></select>");
    });
  }
  if (cube_display_mode_ == dmEdit) {
    WriteSimpleSection(html, "Cube", "<td class='heading2' valign='top'>", 10, [&] {
      html.Line("<select name='lbxCube' onChange='if(handleParamChanges) submitCube()'></select>");
    });
  }
  if (measure_display_mode_ == dmEdit) {
    WriteSimpleSection(html, "Measure", "<td class='heading2' valign='top' rowspan='1'>", 11, [&] {
      html.Line("<select name='lbxMeasure' onChange='if(handleParamChanges) submitMeasure()'></select>");
    });
  }
  if (axes_display_mode_ == dmEdit) WriteAxesSection(html);
  if (ranges_display_mode_ == dmEdit) WriteRangesSection(html);
  if (saved_views_display_mode_ == dmEdit) WriteSavedViewsSection(html);

  page.Line("            </table>");
  page.Line("        </form>");
  page.Line([&] {
    return "        <form name='frmBookmarks' target='hidden' method='post' action=\"" + GetURL(objRequest) +
           "?id=3\">";
  });
  for (std::string_view field : {"folder", "view", "actionID", "new_name", "view_xml"}) {
    page.Line("            <input type='hidden' name='" + std::string(field) + "' value=''></input>");
  }
  page.Line("        </form>");
  page.Line("        <script language='JavaScript'>");
  page.Line("            var handleParamChanges = true;");
  page.Line("            with (navigator) {");
  page.Line("                if((appName != 'Netscape') || (parseInt(appVersion) != 4)) synchronize();");
  page.Line("            }");
  page.Line("        </script>");
  page.Line("    </body>");
  page.Line("</html>");
}

}  // namespace orvex::frontend
