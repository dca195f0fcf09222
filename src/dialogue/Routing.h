#pragma once
// Where the serial event and timer expiries go: to the connection machine while it runs, else to a
// running operation machine, else to the page that is showing. The main window and the command
// line both route through these.

#include <functional>

#include "app/AppState.h"

namespace tola {

// True when a machine took the event; false means the caller hands it to the selected page.
bool RouteSerialEvent(AppState& app);
bool RouteTimer(AppState& app, unsigned timerId);

// The main window's routing of timer expiries and serial events: a page's own timers first (the
// operate poller's), then the connection machine while it runs, else a running operation machine,
// else the page that is showing.
class EventRouter {
 public:
  explicit EventRouter(AppState& app);  // installs itself as the Host's timer handler and the
                                        // AppState's serial-event handler
  ~EventRouter();                       // uninstalls both
  EventRouter(const EventRouter&) = delete;
  EventRouter& operator=(const EventRouter&) = delete;

  // Offered every timer first; returns true when it took it (the shown page's own timer).
  void SetPageTimerFilter(std::function<bool(unsigned id)> filter) { m_pageTimerFilter = std::move(filter); }
  // What no machine took goes to the selected page.
  void SetPageSerialHandler(std::function<void()> handler) { m_pageSerialHandler = std::move(handler); }
  void SetPageTimerHandler(std::function<void(unsigned id)> handler) { m_pageTimerHandler = std::move(handler); }

  void OnTimer(unsigned id);
  void OnSerialEvent();

 private:
  AppState& m_app;
  std::function<bool(unsigned id)> m_pageTimerFilter;
  std::function<void()> m_pageSerialHandler;
  std::function<void(unsigned id)> m_pageTimerHandler;
};

}  // namespace tola
