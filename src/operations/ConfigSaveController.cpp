#include "operations/ConfigSaveController.h"

#include <memory>

#include "app/ErrorText.h"
#include "formats/ConfigurationFile.h"
#include "operations/OperationSupport.h"
#include "platform/FileSystem.h"

namespace tola {

std::string DestinationFault(const std::string& path, ResultCode code) {
  return FormatText("Cannot save to \"%s\": %s", path, ErrorText(code));
}

ConfigSaveController::ConfigSaveController(AppState& app) : m_app(app), m_saveTime(app.GetHost().Now()) {}

ConfigSaveController::~ConfigSaveController() {
  if (m_registered) m_app.dialogueFinished.RemoveListener(this);
  DestroyOperation(m_app, Machine());
}

ConfigSaveMachine* ConfigSaveController::Machine() const {
  return m_app.OperationMachine() == m_machine ? m_machine : nullptr;
}

bool ConfigSaveController::Open() {
  if (!m_registered) {
    m_app.dialogueFinished.AddListenerQuiet(this);
    m_registered = true;
  }
  auto machine = std::make_unique<ConfigSaveMachine>(m_app);
  ConfigSaveMachine* built = machine.get();
  if (!m_app.ReplaceOperationMachine(std::move(machine))) return false;
  m_machine = built;
  EnsureFolder();
  return true;
}

void ConfigSaveController::EnsureFolder() {
  if (m_app.configurationFolder.Get().empty()) {
    m_app.configurationFolder.Change(m_app.DefaultFolder(kFolderName));
  }
}

std::string ConfigSaveController::ProposedName() const {
  return ProposedConfigurationFileName(m_app.serialNumber.Get(), m_saveTime);
}

std::string ConfigSaveController::ProposedPath() const { return JoinPath(Folder(), ProposedName()); }

bool ConfigSaveController::FileDialogFailed(bool invalidFileName) {
  if (m_closed) return false;
  if (invalidFileName && !m_folderRetried) {
    // The stored folder is unusable: once more, from the default folder.
    m_folderRetried = true;
    m_app.configurationFolder.Change(std::string());
    EnsureFolder();
    return true;
  }
  Close(kResultNotSaved);
  return false;
}

bool ConfigSaveController::FileChosen(const std::string& path) {
  if (m_closed) return false;
  ConfigSaveMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) {
    Close(kResultNotSaved);
    return false;
  }
  m_path = path;
  // What can be known about the destination is checked before the long reading, not after it; the
  // write itself still guards against anything that changes meanwhile.
  if (const ResultCode check = CheckWritableFile(path); check != kErrorSuccess) {
    m_outcome = check;
    m_app.LogLine(kFailedLine);
    m_app.ReportErrorText(kIdsSaveConfigurationError, DestinationFault(path, check));
    Close(kResultNotSaved);
    return false;
  }
  m_started = true;
  m_busy = true;
  m_failed = false;
  Refresh();
  machine->Start();
  return true;
}

void ConfigSaveController::CancelPressed() {
  if (m_closed) return;
  m_app.LogLine(kCancelledLine);
  ConfigSaveMachine* machine = Machine();
  if (machine == nullptr || !machine->Cancel()) Close(kResultNotSaved);
}

void ConfigSaveController::OnNotify(std::uint32_t id, std::uint32_t wParam) {
  if (id != kIdDialogueFinished || !m_started || m_closed) return;
  ConfigSaveMachine* machine = Machine();
  if (machine == nullptr || !machine->IsIdle()) return;  // another machine's notice
  m_started = false;
  m_busy = false;
  ResultCode code = wParam;
  if (code == kErrorSuccess) {
    const ConfigurationIdentity identity{UtilityRevisionText(), m_app.installedRevision.Get(),
                                         m_app.serialNumber.Get()};
    code = WriteConfigurationFile(m_path, m_saveTime, machine->Mem2Image(), machine->Mem3Image(), identity,
                                  m_app);
  }
  Finish(code);
}

void ConfigSaveController::Finish(ResultCode code) {
  m_outcome = code;
  if (code == kErrorCancelled) {
    m_app.LogLine(kCancelledLine);
    Close(kResultNotSaved);
  } else if (code != kErrorSuccess) {
    m_app.LogLine(kFailedLine);
    m_app.ShowErrorBox(kIdsSaveConfigurationError, code);
    m_failed = true;
    Refresh();
  } else {
    m_app.configurationFolder.Change(FolderOf(m_path));
    m_app.LogLine(kSavedLine);
    Close(kResultSaved);
  }
}

void ConfigSaveController::Close(int result) {
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
