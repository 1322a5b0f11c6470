#include "frontend/orvex.h"

namespace orvex::frontend {

void Orvex::WriteParamsHeader(asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteParamsHeader");
  page.Do([&] { WriteSniffer(objResponse); });
  WriteCommonHead(page);
  page.Line("    <body>");
  page.Line("        <script language='JavaScript' src='js/General.js'></script>");
  WriteMessagesScript(page);
  page.Line("        <script language='JavaScript' src='js/ParametersHeader.js'></script>");
  page.Line("        <table border='0' cellspacing='0' cellpadding='2' height='100%' width='100%'>");
  page.Line("            <tr>");
  const std::string link_start = "<a onMouseOver=\"return changeStatus('";
  const std::string link_end =
      "')\" onMouseOut='return changeStatus(window.defaultStatus)' href='javascript:synchronize()'>";
  page.Line([&] {
    return "                <td nowrap class='heading2'>" + link_start + ScriptText(6) + link_end + "<img alt=\"" +
           HtmlText(5) + "\" border='0' src='images/sync.gif' WIDTH='16' HEIGHT='16'></a></td>";
  });
  page.Line([&] {
    return "                <td nowrap class='heading2'>" + link_start + ScriptText(6) + link_end + HtmlText(5) +
           "</a></td>";
  });
  page.Line("                <td nowrap width='100%' class='heading2'>&nbsp;</td>");
  page.Line("            </tr>");
  page.Line("        </table>");
  page.Line("    </body>");
  page.Line("</html>");
}

}  // namespace orvex::frontend
