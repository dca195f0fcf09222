#include "operations/FaultTableController.h"

#include <memory>

#include "operations/OperationSupport.h"

namespace tola {

FaultTableController::FaultTableController(AppState& app) : m_app(app) {}

FaultTableController::~FaultTableController() {
  if (m_registered) m_app.dialogueFinished.RemoveListener(this);
  DestroyOperation(m_app, Machine());
}

FaultTableMachine* FaultTableController::Machine() const {
  return m_app.OperationMachine() == m_machine ? m_machine : nullptr;
}

bool FaultTableController::Open() {
  if (m_closed) return false;
  if (!m_registered) {
    m_app.dialogueFinished.AddListenerQuiet(this);
    m_registered = true;
  }
  auto machine = std::make_unique<FaultTableMachine>(m_app);
  FaultTableMachine* built = machine.get();
  if (!m_app.ReplaceOperationMachine(std::move(machine))) return false;
  m_machine = built;
  m_started = true;
  m_busy = true;
  m_listed = false;
  m_rows.clear();
  Refresh();
  return built->Start();
}

void FaultTableController::Close() {
  if (m_closed) return;
  m_closed = true;
  m_busy = false;
  if (m_registered) {
    m_app.dialogueFinished.RemoveListener(this);
    m_registered = false;
  }
  DestroyOperation(m_app, Machine());
  m_machine = nullptr;
  if (onClosed) onClosed();
}

void FaultTableController::OnNotify(std::uint32_t id, std::uint32_t wParam) {
  if (id != kIdDialogueFinished || !m_started || m_closed) return;
  FaultTableMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) return;  // another machine's notice
  m_started = false;
  m_busy = false;
  m_outcome = wParam;
  if (m_outcome == kErrorCancelled) {
    Close();
  } else if (m_outcome != kErrorSuccess) {
    m_app.ShowErrorBox(kIdsFaultTableError, m_outcome);
    Refresh();
  } else {
    m_rows = ListFaultRing(machine->Index(), machine->Ring());
    m_listed = true;
    Refresh();
  }
}

}  // namespace tola
