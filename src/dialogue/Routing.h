#pragma once
// Where the serial event and timer expiries go: to the connection machine while it runs, else to a
// running operation machine, else to the page that is showing. The main window and the command
// line both route through these.

#include "app/AppState.h"

namespace tola {

// True when a machine took the event; false means the caller hands it to the selected page.
bool RouteSerialEvent(AppState& app);
bool RouteTimer(AppState& app, unsigned timerId);

}  // namespace tola
