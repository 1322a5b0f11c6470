#include "html/general.h"
#include "frontend/orvex.h"

namespace orvex::frontend {
namespace {

// Writes nested markup through a page writer: an element opened on a line of
// its own indents its content by four more blanks, and its closing tag stands
// at the indentation of its opening tag.
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

  // The element that `start` opens ("<td nowrap>"), with what `content`
  // writes inside it, and the closing tag of the same name.
  template <class Start, std::invocable Content>
  void Element(Start&& start, Content&& content, std::string_view name) {
    Line(std::forward<Start>(start));
    ++depth_;
    content();
    --depth_;
    Line("</" + std::string(name) + ">");
  }
  template <std::invocable Content>
  void Element(std::string_view start, Content&& content) {
    Element(start, std::forward<Content>(content), start.substr(1, start.find_first_of(" >") - 1));
  }

 private:
  std::string Indent() const { return std::string(static_cast<size_t>(depth_) * 4, ' '); }

  PageWriter& page_;
  int depth_;
};

// A table of the pane's layout: `start` opens it; each row is written by a
// function of its own.
template <class... Rows>
void WriteTable(NestedPage& html, std::string_view start, Rows&&... rows) {
  html.Element(start, [&] { (html.Element("<tr>", rows), ...); });
}

// A localised text inside a script string that stands in an HTML attribute.
std::string StatusText(int n) { return HTMLEncode(ScriptText(n)); }

// A cell holding one arrow link: `href` in its own quotes, the image, and the
// texts of the status bar and of the image.
void WriteArrowCell(NestedPage& html, std::string_view cell, std::string_view href, std::string_view image, int status,
                    int image_text) {
  html.Element(cell, [&] {
    html.Line([&] {
      std::string text = HtmlText(image_text);
      return "<a onMouseOver=\"return changeStatus('" + StatusText(status) +
             "')\" onMouseOut='return changeStatus(window.defaultStatus)' href=" + std::string(href) + "><img alt=\"" +
             text + "\" title=\"" + text + "\" src='images/" + std::string(image) +
             "' border='0' WIDTH='15' HEIGHT='15'></a>";
    });
  });
}

// A cell holding the up or down arrow of `list`.
void WriteMoveArrowCell(NestedPage& html, std::string_view cell, bool up, std::string_view list) {
  const std::string href = std::string("\"javascript:moveSelectedOptions") + (up ? "Up" : "Down") +
                           "(document.forms['frmInterface'].elements['" + std::string(list) + "'])\"";
  WriteArrowCell(html, cell, href, up ? "up.gif" : "down.gif", up ? 51 : 52, up ? 72 : 73);
}

// An element of one line holding localised text `text`: a cell unless `end` says otherwise.
void WriteTextCell(NestedPage& html, std::string_view start, int text, std::string_view end = "</td>") {
  html.Line([&] { return std::string(start) + HtmlText(text) + std::string(end); });
}

// The first cell of a section's first row: its label in a table of its own.
void WriteSectionLabel(NestedPage& html, std::string_view cell, int label) {
  html.Element(cell, [&] {
    WriteTable(html, "<table border='0' cellspacing='0' cellpadding='2'>",
               [&] { WriteTextCell(html, "<td class='heading2' valign='top'>", label); });
  });
}

// A section's comment and the start of its first row, with the label cell.
template <std::invocable Rest>
void WriteSection(NestedPage& html, std::string_view name, std::string_view label_cell, int label, Rest&& rest) {
  html.Line("<!-- " + std::string(name) + " -->");
  html.Element("<tr>", [&] {
    WriteSectionLabel(html, label_cell, label);
    rest();
  });
}

// A one-row section (data source, catalog, cube, measure): its label and one
// cell holding `controls`.
template <std::invocable Controls>
void WriteSimpleSection(NestedPage& html, std::string_view name, std::string_view label_cell, int label,
                        Controls&& controls) {
  WriteSection(html, name, label_cell, label,
               [&] { html.Element("<td nowrap class='heading0BorderAll' colspan='2'>", controls); });
}

// A cell centring one button in a table of its own: btnApplyAxes calls submitAxes(), and so on.
void WriteApplyCell(NestedPage& html, std::string_view button) {
  html.Element("<td nowrap class='heading0BorderAll' colspan='2' valign='top'>", [&] {
    WriteTable(html, "<table border='0' cellspacing='0' cellpadding='2' width='100%'>", [&] {
      html.Element("<td align='center' nowrap class='heading0'>", [&] {
        html.Line([&] {
          return "<input type='button' class='button' name='" + std::string(button) + "' onClick='submit" +
                 std::string(button.substr(std::string_view("btnApply").size())) + "()' value=\"" + HtmlText(8) + "\">";
        });
      });
    });
  });
}

// The block of one displayed axis: 0 the columns, 1 the rows.
void WriteAxisBlock(NestedPage& html, int axis) {
  const std::string n = std::to_string(axis);
  const std::string list = "lbxAxis" + n;
  const bool rows = axis == 1;
  const std::pair<std::string_view, int> options[] = {
      {"Grouped' checked disabled", 34}, {"ShowEmpty' checked", rows ? 36 : 35}, {"ShowTotals' checked", 37}};
  WriteTable(
      html, "<table border='0' cellspacing='0' cellpadding='2' width='100%'>",
      [&] {
        WriteTextCell(html,
                      rows ? "<td colSpan='3' nowrap class='heading1'>" : "<td colSpan='2' nowrap class='heading1'>",
                      rows ? 28 : 27);
      },
      [&] {
        WriteTextCell(
            html, rows ? "<td colspan='3' nowrap class='heading0'>" : "<td nowrap colspan='2' class='heading0'>", 29);
      },
      [&] {
        html.Element("<td nowrap class='heading0' rowspan='2'>", [&] {
          WriteTable(
              html, "<table border='0' cellspacing='0' cellpadding='0'>",
              [&] {
                WriteMoveArrowCell(html, "<td nowrap valign='bottom' class='heading0'>", true, list);
                html.Element("<td rowSpan='2' nowrap align='left' class='heading0'>",
                             [&] { html.Line("<select multiple name='" + list + "' size='4'></select>"); });
              },
              [&] { WriteMoveArrowCell(html, "<td nowrap class='heading0' valign='top'>", false, list); });
        });
        WriteArrowCell(html, "<td align='right' nowrap valign='bottom' class='heading0'>",
                       "'javascript:moveToAxis" + n + "()'", "left.gif", rows ? 55 : 53, rows ? 76 : 74);
      },
      [&] {
        WriteArrowCell(html, "<td align='right' nowrap valign='top' class='heading0'>",
                       "'javascript:moveFromAxis" + n + "()'", "right.gif", rows ? 56 : 54, rows ? 77 : 75);
      },
      [&] {
        html.Element([&] { return "<td nowrap class='heading0' colspan='2'>" + HtmlText(30) + ": "; },
                     [&] {
                       html.Element("<select name='" + list + "Sort' onChange='updateGroupedCheckBox(" + n + ")'>",
                                    [&] {
                                      WriteTextCell(html, "<option value='0' selected>", 33, "</option>");
                                      WriteTextCell(html, "<option value='1'>", 31, "</option>");
                                      WriteTextCell(html, "<option value='2'>", 32, "</option>");
                                    });
                     },
                     "td");
      },
      [&] {
        html.Element("<td nowrap class='heading0' colspan='2'>", [&] {
          html.Element("<table border='0' cellspacing='0' cellpadding='0'>", [&] {
            for (const auto& [name, label] : options) {
              html.Element("<tr>", [&, name = name, label = label] {
                html.Line("<td nowrap class='heading0'><input type='checkBox' class='checkBox' name='chkAxis" + n +
                          std::string(name) + "></td>");
                WriteTextCell(html, "<td nowrap class='heading0'>", label);
              });
            }
          });
        });
      });
}

// The block of the hierarchies on no axis, with the two display options.
void WriteFilterBlock(NestedPage& html) {
  WriteTable(
      html, "<table border='0' cellspacing='0' cellpadding='2' width='100%'>",
      [&] { WriteTextCell(html, "<td nowrap class='heading0' colspan='2'>", 29); },
      [&] {
        html.Element("<td nowrap class='heading0' valign='top' colspan='2'>",
                     [&] { html.Line("<select name='lbxAvailable' multiple size='23'></select>"); });
      },
      [&] {
        html.Element("<td nowrap class='heading0'>", [&] {
          html.Element("<table border='0' cellspacing='0' cellpadding='0'>", [&] {
            for (const auto& [name, label] :
                 {std::pair<std::string_view, int>{"chkDisplayFilter", 38}, {"chkSplitHeadings", 39}}) {
              html.Element("<tr>", [&, name = name, label = label] {
                html.Line("<td class='heading0' nowrap><input type='checkbox' class='checkBox' name='" +
                          std::string(name) + "'></td>");
                WriteTextCell(html, "<td class='heading0' nowrap>", label);
              });
            }
          });
        });
      });
}

void WriteAxesSection(NestedPage& html) {
  WriteSection(html, "Axes", "<td class='heading2' valign='top' rowspan='3'>", 12, [&] {
    html.Line("<!-- Column -->");
    html.Element("<td nowrap class='heading0BorderAll' valign='top'>", [&] { WriteAxisBlock(html, 0); });
    html.Line("<!-- Filter Axis -->");
    html.Element("<td nowrap class='heading0BorderAll' rowspan='2' valign='top'>", [&] { WriteFilterBlock(html); });
  });
  html.Element("<tr>", [&] {
    html.Line("<!-- Row -->");
    html.Element("<td nowrap class='heading0BorderAll' valign='top'>", [&] { WriteAxisBlock(html, 1); });
  });
  html.Element("<tr>", [&] {
    html.Line("<!-- Apply -->");
    WriteApplyCell(html, "btnApplyAxes");
  });
}

// A cell of two range buttons, each given by its action (which names it: btnDelete for 'delete') and its text.
void WriteRangeButtons(NestedPage& html, const std::pair<std::string_view, int> (&buttons)[2]) {
  html.Element("<td align='center' class='heading0BorderAll'>", [&] {
    WriteTable(html, "<table border='0' cellspacing='0' cellpadding='2'>", [&] {
      for (const auto& [action, text] : buttons) {
        std::string name(action);
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
        html.Element("<td nowrap class='heading0'>", [&, action = action, text = text] {
          html.Line([&] {
            return "<input type='button' class='button' name='btn" + name + "' onClick=\"changeRanges('" +
                   std::string(action) + "')\" value=\"" + HtmlText(text) + "\">";
          });
        });
      }
    });
  });
}

// The rows of the range fields: From and To, then the colour list.
void WriteRangeFields(NestedPage& html) {
  html.Element("<table border='0' cellspacing='0' cellpadding='1'>", [&] {
    for (const auto& [label, field] : {std::pair<int, std::string_view>{40, "txtFrom"}, {41, "txtTo"}}) {
      html.Element("<tr>", [&, label = label, field = field] {
        WriteTextCell(html, "<td nowrap align='right' class='heading0'>", label, ":</td>");
        html.Element("<td nowrap class='heading0'>", [&] {
          html.Line("<input name='" + std::string(field) + "' type='text' size='9' class='textBox' maxlength='200'>");
        });
      });
    }
    html.Element("<tr>", [&] {
      WriteTextCell(html, "<td nowrap align='right' class='heading0'>", 42, ":</td>");
      html.Element("<td nowrap class='heading0'>", [&] {
        html.Element("<select name='lbxColour'>", [&] {
          WriteTextCell(html, "<option value='0' selected>", 63, "</option>");
          WriteTextCell(html, "<option value='-1'>", 64, "</option>");
          for (int code = 1; code <= 7; ++code) {
            WriteTextCell(html, "<option value='" + std::to_string(code) + "'>", 64 + code, "</option>");
          }
        });
      });
    });
  });
}

void WriteRangesSection(NestedPage& html) {
  WriteSection(html, "Ranges", "<td class='heading2' valign='top' rowspan='3'>", 13, [&] {
    html.Element("<td nowrap class='heading0BorderAll'>", [&] {
      WriteTable(
          html, "<table border='0' cellspacing='0' cellpadding='0'>",
          [&] {
            WriteMoveArrowCell(html, "<td nowrap class='heading0' valign='bottom'>", true, "lbxRanges");
            html.Element("<td nowrap class='heading0' rowspan='2'>", [&] {
              html.Line("<select name='lbxRanges' size='4' onChange='populateRangeFields()'></select>");
            });
          },
          [&] { WriteMoveArrowCell(html, "<td nowrap class='heading0' valign='top'>", false, "lbxRanges"); });
    });
    html.Element("<td nowrap class='heading0BorderAll'>", [&] { WriteRangeFields(html); });
  });
  html.Element("<tr>", [&] {
    WriteRangeButtons(html, {{"delete", 18}, {"clear", 21}});
    WriteRangeButtons(html, {{"change", 22}, {"add", 17}});
  });
  html.Element("<tr>", [&] { WriteApplyCell(html, "btnApplyRanges"); });
}

void WriteSavedViewsSection(NestedPage& html) {
  WriteSection(html, "Saved Views", "<td class='heading2' valign='top' rowspan='2'>", 14, [&] {
    html.Element("<td nowrap valign='top' class='heading0BorderAll' valign='top'>", [&] {
      WriteTable(
          html, "<table border='0' cellpadding='2' cellspacing='0' width='100%'>",
          [&] { WriteTextCell(html, "<td nowrap class='heading1' colspan='4'>", 43); },
          [&] {
            html.Element("<td nowrap class='heading0' colspan='4'>", [&] {
              html.Element(
                  "<select name='lbxFolder' size='5' onChange='if(handleParamChanges && "
                  "this.selectedIndex >= 0) openFolder()'>",
                  [&] { WriteTextCell(html, "<option value>", 15, "</option>"); });
            });
          });
    });
    html.Element("<td nowrap valign='top' class='heading0BorderAll'>", [&] {
      WriteTable(
          html, "<table border='0' cellPadding='2' cellSpacing='0' width='100%'>",
          [&] { WriteTextCell(html, "<td nowrap class='heading1'>", 44); },
          [&] {
            html.Element("<td nowrap class='heading0'>",
                         [&] { html.Line("<select name='lbxView' size='5'></select>"); });
          });
    });
  });

  struct Button {
    std::string_view name;
    int text;
    std::string_view handler;
  };
  static constexpr Button kGroups[2][3] = {
      {{"btnRefreshFolder", 16, "openFolder"},
       {"btnAddFolder", 17, "addFolder"},
       {"btnDeleteFolder", 18, "deleteFolder"}},
      {{"btnOpenView", 19, "openView"}, {"btnSaveView", 20, "saveView"}, {"btnDeleteView", 18, "deleteView"}},
  };
  html.Element("<tr>", [&] {
    for (const auto& group : kGroups) {
      html.Element("<td nowrap valign='top' class='heading0BorderAll' align='center'>", [&] {
        WriteTable(html, "<table border='0' cellspacing='0' cellpadding='2'>", [&] {
          for (const Button& button : group) {
            html.Element("<td nowrap valign='top' class='heading0' align='center'>", [&] {
              html.Line([&] {
                return "<input type='button' class='button' name='" + std::string(button.name) + "' value=\"" +
                       HtmlText(button.text) + "\" onClick='" + std::string(button.handler) + "()'>";
              });
            });
          }
        });
      });
    }
  });
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
