#include "html/general.h"
#include "frontend/orvex.h"

namespace orvex::frontend {
namespace {

// The banner's link: the product's own page on this site.
constexpr std::string_view kMakerSite = "html/about.htm";

}  // namespace

void Orvex::WriteHeader(asp::Response& objResponse) {
  PageWriter page = ResumingPage(objResponse, "WriteHeader");
  WriteCommonHead(page);
  page.Line("    <body>");
  page.Line("        <table border='0' cellspacing='0' cellpadding='3' height='100%' width='100%'>");
  page.Line("            <tr>");
  page.Line([] {
    return "                <td nowrap class='heading2'>&nbsp;<a href='" + std::string(kMakerSite) +
           "' target='_blank'>" + HtmlText(1) + "</a>&nbsp;</td>";
  });
  page.Line([] {
    std::string title = ReadString(2) + " " + std::to_string(ORVEX_VERSION_MAJOR) + "." +
                        std::to_string(ORVEX_VERSION_MINOR);
    return "                <td nowrap align='left' width='100%' class='heading0'>&nbsp;<b>" + HTMLEncode(title) +
           "</b></td>";
  });
  page.Piece("                <td nowrap align='right' class='heading0'>&nbsp;&nbsp;<a href='help");
  page.Piece([] { return LanguageSuffix(); });
  page.Piece([] { return "/default.htm' target='help'>" + HtmlText(4) + "</a></td>\n"; });
  page.Line("            </tr>");
  page.Line("        </table>");
  page.Line("    </body>");
  page.Line("</html>");
}

}  // namespace orvex::frontend
