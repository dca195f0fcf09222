#include "operations/OperationSlot.h"

namespace tola {

CStateMachine* OperationSlotBase::Current() const {
  return m_machine != nullptr && m_app.OperationGeneration() == m_generation ? m_machine : nullptr;
}

bool OperationSlotBase::Install(std::unique_ptr<CStateMachine> machine) {
  Release();
  CStateMachine* built = machine.get();
  if (!m_app.ReplaceOperationMachine(std::move(machine))) return false;
  m_machine = built;
  m_generation = m_app.OperationGeneration();
  m_completionsSeen = built->Completions();
  m_app.dialogueFinished.AddListenerQuiet(this);
  m_listening = true;
  return true;
}

void OperationSlotBase::Release() {
  if (m_listening) {
    m_app.dialogueFinished.RemoveListener(this);
    m_listening = false;
  }
  if (CStateMachine* machine = Current()) {
    if (!machine->IsIdle()) machine->KillTimer();
    machine->Destroy();
  }
  m_machine = nullptr;
}

void OperationSlotBase::OnNotify(std::uint32_t id, std::uint32_t wParam) {
  if (id != kIdDialogueFinished) return;
  // Another machine's notice (the connection machine's, say) may arrive while this one waits or
  // runs. The operate machine may already run its next cycle when its notice of the last arrives.
  const CStateMachine* machine = Current();
  if (machine == nullptr || machine->Completions() == m_completionsSeen) return;
  m_completionsSeen = machine->Completions();
  if (onFinished) onFinished(wParam);
}

}  // namespace tola
