#include "html/general.h"
#include "frontend/orvex.h"

namespace orvex::frontend {
namespace {

// One step of the view's history: a link to `href` shown as an image and as a text.
struct HistoryLink {
  std::string_view href;
  int status_text;
  std::string_view image;
  int text;
};

std::string LinkStart(const HistoryLink& link) {
  return "                    <td nowrap class='heading2'><a onMouseOver=\"return changeStatus('" +
         ScriptText(link.status_text) + "')\" onMouseOut='return changeStatus(window.defaultStatus)' href='" +
         std::string(link.href) + "'>";
}

}  // namespace

void Orvex::WriteViewHeader(const asp::Request& objRequest, asp::Response& objResponse) {
  static constexpr HistoryLink kLinks[] = {
      {"javascript:parent.viewBody.history.go(-1)", 57, "images/left.gif", 23},
      {"javascript:parent.viewBody.history.go(1)", 58, "images/right.gif", 24},
      {"javascript:parent.viewBody.history.go(0)", 59, "images/down.gif", 16},
  };
  static constexpr std::string_view kSpacers[] = {"&nbsp;", "&nbsp;", "&nbsp;&nbsp;&nbsp;"};

  PageWriter page = ResumingPage(objResponse, "WriteViewHeader");
  page.Do([&] { WriteSniffer(objResponse); });
  WriteCommonHead(page);
  page.Line("    <body>");
  page.Line("        <script language='JavaScript' src='js/General.js'></script>");
  WriteMessagesScript(page);
  page.Line("        <script language='JavaScript' src='js/ViewHeader.js'></script>");
  page.Line("        <table border='0' cellspacing='0' cellpadding='2' width='100%' height='100%'>");
  page.Line([&] {
    return "            <form name='frmSnapshot' action=\"" + GetURL(objRequest) +
           "?id=2\" method='post' target='_blank'>";
  });
  page.Line("                <tr>");
  for (size_t index = 0; index < std::size(kLinks); ++index) {
    const HistoryLink& link = kLinks[index];
    page.Line([&] {
      std::string text = HtmlText(link.text);
      return LinkStart(link) + "<img alt=\"" + text + "\" title=\"" + text + "\" src='" + std::string(link.image) +
             "' border='0' WIDTH='15' HEIGHT='15'></a></td>";
    });
    page.Line([&] { return LinkStart(link) + HtmlText(link.text) + "</a></td>"; });
    page.Line("                    <td nowrap class='heading2'>" + std::string(kSpacers[index]) + "</td>");
  }
  page.Line("                    <td nowrap class='heading2'>");
  page.Line("                        <select name='format' onChange=\"this.form.elements['btnSnapshot'].focus()\">");
  page.Line("                            <option value='html' selected>HTML</option>");
  page.Line("                            <option value='xml'>XML</option>");
  page.Line("                        </select>");
  page.Line("                    </td>");
  page.Line("                    <td nowrap class='heading2'>");
  page.Line("                        <input type='hidden' name='xml' value=''></input>");
  page.Line("                        <input type='hidden' name='split_headings' value=''></input>");
  page.Line("                        <input type='hidden' name='display_filter' value=''></input>");
  page.Line([] {
    return "                        <input type='button' class='button' name='btnSnapshot' value=\"" + HtmlText(26) +
           "\" onClick='takeSnapshot()'></input>";
  });
  page.Line("                    </td>");
  page.Line("                    <td nowrap width='100%' class='heading2'>&nbsp;</td>");
  page.Line("                </tr>");
  page.Line("            </form>");
  page.Line("        </table>");
  page.Line("    </body>");
  page.Line("</html>");
}

}  // namespace orvex::frontend
