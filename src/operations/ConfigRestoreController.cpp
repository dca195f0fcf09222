#include "operations/ConfigRestoreController.h"

#include <memory>

#include "formats/ConfigurationFile.h"
#include "operations/OperationSupport.h"
#include "platform/FileSystem.h"

namespace tola {

ConfigRestoreController::ConfigRestoreController(AppState& app) : m_app(app) {}

ConfigRestoreController::~ConfigRestoreController() {
  if (m_registered) m_app.dialogueFinished.RemoveListener(this);
  DestroyOperation(m_app, Machine());
}

ConfigRestoreMachine* ConfigRestoreController::Machine() const {
  return m_app.OperationMachine() == m_machine ? m_machine : nullptr;
}

bool ConfigRestoreController::Open() {
  if (!m_registered) {
    m_app.dialogueFinished.AddListenerQuiet(this);
    m_registered = true;
  }
  auto machine = std::make_unique<ConfigRestoreMachine>(m_app);
  ConfigRestoreMachine* built = machine.get();
  if (!m_app.ReplaceOperationMachine(std::move(machine))) return false;
  m_machine = built;
  return true;
}

void ConfigRestoreController::NoFileChosen() { Close(kResultNotRestored); }

bool ConfigRestoreController::FileChosen(const std::string& path) {
  if (m_closed) return false;
  ConfigRestoreMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) {
    Close(kResultNotRestored);
    return false;
  }
  // The whole file is read and its CRC confirmed before the first write.
  m_outcome = ReadConfigurationFile(path, *machine, m_app.serialNumber.Get(), m_app.advancedMode.Get() != 0, m_app);
  if (m_outcome != kErrorSuccess) {
    Close(kResultNotRestored);
    return false;
  }
  m_app.configurationFolder.Change(FolderOf(path));
  m_started = true;
  m_busy = true;
  Refresh();
  machine->Start();
  return true;
}

void ConfigRestoreController::CloseRequested() {
  if (m_closed) return;
  ConfigRestoreMachine* machine = Machine();
  if (machine == nullptr || machine->IsIdle()) {
    Close(m_outcome != kErrorSuccess ? kResultNotRestored : kResultRestored);
    return;
  }
  const BoxAnswer answer = m_app.MessageBox(kInterruptQuestion, kInterruptCaption, BoxButtons::YesNo, BoxIcon::Warning);
  if (answer != BoxAnswer::Yes || m_closed) return;
  // The machine may have ended while the question was open.
  machine = Machine();
  if (machine == nullptr || !machine->Cancel()) return;
  m_app.MessageBox(kInterruptedNotice, kInterruptCaption, BoxButtons::Ok, BoxIcon::Warning);
}

void ConfigRestoreController::OnNotify(std::uint32_t id, std::uint32_t wParam) {
  if (id != kIdDialogueFinished || !m_started || m_closed) return;
  ConfigRestoreMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) return;  // another machine's notice
  m_started = false;
  m_busy = false;
  m_outcome = wParam;
  if (m_outcome == kErrorSuccess) {
    m_app.LogLine(kRestoredLine);
    Close(kResultRestored);
  } else if (m_outcome == kErrorCancelled) {
    m_app.LogLine(kCancelledLine);
    Close(kResultNotRestored);
  } else {
    m_app.LogLine(kFailedLine);
    m_app.ShowErrorBox(kIdsRestoreConfigurationError, m_outcome);
    Refresh();
  }
}

void ConfigRestoreController::Close(int result) {
  if (m_closed) return;
  m_closed = true;
  m_dialogResult = result;
  m_busy = false;
  if (m_registered) {
    m_app.dialogueFinished.RemoveListener(this);
    m_registered = false;
  }
  DestroyOperation(m_app, Machine());
  m_machine = nullptr;
  if (onClosed) onClosed(result);
}

}  // namespace tola
