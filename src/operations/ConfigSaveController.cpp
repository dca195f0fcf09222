#include "operations/ConfigSaveController.h"

#include <memory>

#include "app/ErrorText.h"
#include "formats/ConfigurationFile.h"
#include "platform/FileSystem.h"

namespace tola {

std::string DestinationFault(const std::string& path, ResultCode code) {
  return FormatText("Cannot save to \"%s\": %s", path, ErrorText(code));
}

ConfigSaveController::ConfigSaveController(AppState& app)
    : m_app(app), m_saveTime(app.GetHost().Now()), m_slot(app) {
  m_slot.onFinished = [this](ResultCode code) { OnFinished(code); };
}

ConfigSaveController::~ConfigSaveController() = default;

bool ConfigSaveController::Open() {
  if (m_slot.Install() == nullptr) return false;
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

void ConfigSaveController::OnFinished(ResultCode code) {
  ConfigSaveMachine* machine = Machine();
  if (!m_started || m_closed || machine == nullptr) return;
  m_started = false;
  m_busy = false;
  if (code == kErrorSuccess) {
    const ConfigurationIdentity identity{UtilityRevisionText(), m_app.installedRevision.Get(),
                                         m_app.serialNumber.Get()};
    const ConfigurationReport written =
        WriteConfigurationFile(m_path, m_saveTime, machine->Mem2Image(), machine->Mem3Image(), identity);
    if (!written.Good()) m_app.ReportErrorText(written.caption, written.text);
    code = written.code;
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
  m_slot.Release();
  if (onClosed) onClosed(result);
}

}  // namespace tola
