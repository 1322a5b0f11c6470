#pragma once
#include <httplib.h>

#include <string_view>

#include "platform/asp/request.h"

namespace orvex::host {

// Whether the request asks the saved-views page (id 3) to change the store:
// add a folder, save a view, delete a folder or a view. Opening and listing
// change nothing and are not counted.
[[nodiscard]] bool IsStateChangingAction(const asp::Request& request);

// Whether the request was sent by a page of another site. The browser's
// Sec-Fetch-Site says so where it is sent ("same-origin" and "none", a typed
// address, are ours); else an Origin header must name the host the request
// was sent to. A request with neither (an older browser, a script) is taken
// as our own: what it could do, its sender could do by asking directly.
[[nodiscard]] bool IsCrossSite(const httplib::Request& request);

}  // namespace orvex::host
