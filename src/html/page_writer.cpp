#include "html/page_writer.h"

#include "html/general.h"
#include "platform/runtime/runtime.h"

namespace orvex::frontend {

std::string HtmlText(int n) { return HTMLEncode(ReadString(n)); }

std::string ScriptText(int n) { return JavaScriptStringEncode(ReadString(n)); }

std::string LanguageSuffix() { return GetLCID() == runtime::kLocaleDutch ? "_NL" : "_EN"; }

void WriteCommonHead(PageWriter& page) {
  page.Line("<html>");
  page.Line("    <head>");
  page.Line([] { return "        <title>" + HtmlText(2) + "</title>"; });
  page.Line("        <link href='styles/default.css' rel='stylesheet'></link>");
  page.Line("    </head>");
}

void WriteMessagesScript(PageWriter& page) {
  page.Piece("        <script language='JavaScript' src='js/Messages");
  page.Piece([] { return LanguageSuffix(); });
  page.Piece(".js'></script>\n");
}

}  // namespace orvex::frontend
