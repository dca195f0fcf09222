#include "operations/ConfigRestoreController.h"


#include "formats/ConfigurationFile.h"
#include "platform/FileSystem.h"

namespace tola {

bool SerialMismatchAccepted(LogChannel& log, bool advancedMode) {
  using C = ConfigRestoreController;
  if (!advancedMode) {
    log.MessageBox(C::kSerialMismatchRefused, C::kSerialMismatchCaption, BoxButtons::Ok, BoxIcon::Error);
    return false;
  }
  return log.MessageBox(C::kSerialMismatchQuestion, C::kSerialMismatchCaption, BoxButtons::YesNo,
                        BoxIcon::Warning) == BoxAnswer::Yes;
}

ResultCode JudgeConfigurationFile(const ConfigurationReport& report, bool advancedMode, LogChannel& log) {
  if (report.Good()) return kErrorSuccess;
  if (report.serialMismatch) return SerialMismatchAccepted(log, advancedMode) ? kErrorSuccess : report.code;
  log.ReportErrorText(report.caption, report.text);
  return report.code;
}

ConfigRestoreController::ConfigRestoreController(AppState& app) : m_app(app), m_slot(app) {
  m_slot.onFinished = [this](ResultCode code) { OnFinished(code); };
}

ConfigRestoreController::~ConfigRestoreController() = default;

bool ConfigRestoreController::Open() { return m_slot.Install() != nullptr; }

void ConfigRestoreController::NoFileChosen() { Close(kResultNotRestored); }

bool ConfigRestoreController::FileChosen(const std::string& path) {
  if (m_closed) return false;
  ConfigRestoreMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) {
    Close(kResultNotRestored);
    return false;
  }
  // The whole file is read and its CRC confirmed before the first write.
  m_outcome = JudgeConfigurationFile(ReadConfigurationFile(path, *machine, m_app.serialNumber.Get()),
                                     m_app.advancedMode.Get() != 0, m_app);
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

void ConfigRestoreController::OnFinished(ResultCode code) {
  if (!m_started || m_closed) return;
  m_started = false;
  m_busy = false;
  m_outcome = code;
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
  m_slot.Release();
  if (onClosed) onClosed(result);
}

}  // namespace tola
