#include "errors/trail.h"
#include "frontend/orvex.h"

namespace orvex::frontend {

// Sends browsers that cannot run the interface's scripts to a page that says so.
void Orvex::WriteSniffer(asp::Response& objResponse) {
  Trail("Orvex", "WriteSniffer", [&] {
    PageWriter page(objResponse);
    page.Line("<script language='JavaScript' src='js/BrowserSniffer.js'></script>");
    page.Line("<script language='JavaScript'>");
    page.Line("<!--// hide JavaScript from non-JavaScript browsers");
    page.Line("    if(isIE3Mac()) {");
    page.Line("        top.document.location.href = 'html/UnsupportedBrowser.htm';");
    page.Line("    } else {");
    page.Line("        var browserSniffer = new BrowserSniffer();");
    page.Line("        if(!browserSniffer.ie4up && !browserSniffer.nav4up) {");
    page.Line("            top.document.location.href = 'html/UnsupportedBrowser.htm';");
    page.Line("        }");
    page.Line("    }");
    page.Line("//--> end hide JavaScript");
    page.Line("</script>");
    page.Line("<noscript>In order to view this page, you must enable JavaScript in your browser.</noscript>");
  });
}

}  // namespace orvex::frontend
