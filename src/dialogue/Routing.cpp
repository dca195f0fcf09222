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

}  // namespace tola
