#include "operations/OperationSupport.h"

#include "app/ErrorText.h"

namespace tola {

void ShowErrorBox(AppState& app, StringId caption, ResultCode code) {
  app.MessageBox(ErrorText(code), LoadString(caption), BoxButtons::Ok, BoxIcon::Error);
}

void DestroyOperation(AppState& app, CStateMachine* machine) {
  if (machine == nullptr || app.OperationMachine() != machine) return;
  if (!machine->IsIdle()) machine->KillTimer();
  machine->Destroy();
}

}  // namespace tola
