#pragma once
#include <string>
#include <string_view>

namespace orvex::frontend {

// What a page shows for an error whose full text goes to the event log. Most
// texts are shown as they are: they name what the user asked for (a member,
// a cube, a statement's position). A text that tells where the server keeps
// its data (a file path, a database server's host or address) is shown by
// the catalog instead: "The catalog 'Sales' cannot be opened. The event log
// has the details." `catalog` names it when the text itself does not ("" for
// none known).
std::string PageErrorText(std::string_view description, std::string_view catalog);

// Whether `description` tells where the server keeps its data: an absolute
// path, or the words of a database server's connection failure.
[[nodiscard]] bool RevealsServerDetail(std::string_view description);

}  // namespace orvex::frontend
