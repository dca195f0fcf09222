#include "operations/FaultTableController.h"

#include <memory>


namespace tola {

FaultTableController::FaultTableController(AppState& app) : m_app(app), m_slot(app) {
  m_slot.onFinished = [this](ResultCode code) { OnFinished(code); };
}

FaultTableController::~FaultTableController() = default;

bool FaultTableController::Open() {
  if (m_closed) return false;
  FaultTableMachine* built = m_slot.Install();
  if (built == nullptr) return false;
  m_started = true;
  m_busy = true;
  m_listed = false;
  m_rows.clear();
  if (!built->Start()) {
    m_started = false;
    m_busy = false;
  }
  Refresh();
  return m_started;
}

void FaultTableController::Close() {
  if (m_closed) return;
  m_closed = true;
  m_busy = false;
  m_slot.Release();
  if (onClosed) onClosed();
}

void FaultTableController::OnFinished(ResultCode code) {
  FaultTableMachine* machine = Machine();
  if (!m_started || m_closed || machine == nullptr) return;
  m_started = false;
  m_busy = false;
  m_outcome = code;
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
