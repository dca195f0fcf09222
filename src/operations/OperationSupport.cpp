#include "operations/OperationSupport.h"


namespace tola {

void DestroyOperation(AppState& app, CStateMachine* machine) {
  if (machine == nullptr || app.OperationMachine() != machine) return;
  if (!machine->IsIdle()) machine->KillTimer();
  machine->Destroy();
}

}  // namespace tola
