#include "html/general.h"
#include "frontend/orvex.h"

namespace orvex::frontend {

void Orvex::WriteFrameset(const asp::Request& objRequest, asp::Response& objResponse) {
  // Keys that the view body frame passes on, so that a link to the hosting
  // page can open the interface on a cube or on a saved view.
  static constexpr std::string_view kPassThroughKeys[] = {"data_source", "provider", "catalog", "cube",
                                                          "measure",     "folder",   "view"};
  PageWriter page = ResumingPage(objResponse, "WriteFrameset");
  std::string url;
  page.Do([&] { url = GetURL(objRequest); });
  page.Do([&] { WriteSniffer(objResponse); });
  WriteCommonHead(page);
  page.Line("    <frameset rows='26, *, 0' framespacing='0' border='1' noresize>");
  page.Line("        <frame name='header' frameborder='yes' marginheight='0' marginwidth='0' src=\"" + url +
            "?id=7\" scrolling='no' noresize>");
  const bool shows_parameters = ShowsParameters();
  if (shows_parameters) {
    page.Line("        <frameset cols='40%, *' framespacing='1' frameborder='yes' border='2'>");
    page.Line("            <frameset rows='33, *' framespacing='1' frameborder='yes' border='1'>");
    page.Line("                <frame name='paramsHeader' marginheight='0' marginwidth='0' src=\"" + url +
              "?id=4\" scrolling='no'>");
    page.Line("                <frame name='paramsBody' marginheight='0' marginwidth='0' src=\"" + url +
              "?id=5\" scrolling='auto'>");
    page.Line("            </frameset>");
  }
  page.Line("            <frameset rows='33, *' framespacing='1' frameborder='yes' border='1'>");
  page.Line("                <frame name='viewHeader' marginheight='0' marginwidth='0' src=\"" + url +
            "?id=6\" scrolling='no'>");
  page.Piece("                <frame name='viewBody' marginheight='0' marginwidth='0' src=\"" + url + "?id=1");
  for (std::string_view key : kPassThroughKeys) {
    page.Piece([&] { return "&" + std::string(key) + "=" + URLEncode(objRequest.Item(key).ToString()); });
  }
  page.Piece("\" scrolling='auto'>\n");
  page.Line("            </frameset>");
  if (shows_parameters) {
    page.Line("        </frameset>");
    page.Line("        <frame name='hidden' frameborder='0' framespacing='0' marginheight='0' marginwidth='0' "
              "src='html/blank.htm' scrolling='no' noresize>");
  }
  page.Line("        <noframes>In order to view this site, your browser must handle frames.</noframes>");
  page.Line("    </frameset>");
  page.Line("</html>");
}

}  // namespace orvex::frontend
