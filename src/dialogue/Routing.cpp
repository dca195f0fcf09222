#include "dialogue/Routing.h"

namespace tola {

namespace {

Dialogue* RunningMachine(AppState& app) {
  if (Dialogue* connection = app.ConnectionMachine(); connection && !connection->IsIdle()) return connection;
  if (Dialogue* operation = app.OperationMachine(); operation && !operation->IsIdle()) return operation;
  return nullptr;
}

}  // namespace

bool RouteSerialEvent(AppState& app) {
  Dialogue* machine = RunningMachine(app);
  if (!machine) return false;
  machine->OnSerialEvent();
  return true;
}

bool RouteTimer(AppState& app, unsigned timerId) {
  Dialogue* machine = RunningMachine(app);
  if (!machine) return false;
  machine->OnTimer(timerId);
  return true;
}

EventRouter::EventRouter(AppState& app) : m_app(app) {
  m_app.GetHost().SetTimerHandler([this](unsigned id) { OnTimer(id); });
  m_app.SetSerialEventHandler([this] { OnSerialEvent(); });
}

EventRouter::~EventRouter() {
  m_app.GetHost().SetTimerHandler(nullptr);
  m_app.SetSerialEventHandler(nullptr);
}

// The page's handlers are called through copies: a handler may replace or clear itself.
void EventRouter::OnTimer(unsigned id) {
  if (const auto filter = m_pageTimerFilter; filter && filter(id)) return;
  if (RouteTimer(m_app, id)) return;
  if (const auto handler = m_pageTimerHandler) handler(id);
}

void EventRouter::OnSerialEvent() {
  if (RouteSerialEvent(m_app)) return;
  if (const auto handler = m_pageSerialHandler) handler();
}

}  // namespace tola
