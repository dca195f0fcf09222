#include "app/AppState.h"

#include "app/ErrorText.h"
#include "platform/FileSystem.h"
#include "platform/HiveFileStore.h"

namespace tola {

AppState::AppState(Host& host, std::unique_ptr<CSerialPort> serialPort, std::unique_ptr<RegistryStore> store)
    : m_host(host), m_port(std::move(serialPort)), m_store(std::move(store)),
      m_uiThread(std::this_thread::get_id()) {
  m_port->SetSink(this);
  // Opening the key: the hive is read so the values can be queried, but no value is taken yet.
  if (m_store) {
    m_storeLoadResult = m_store->Load();
    m_keyOpen = m_storeLoadResult == kErrorSuccess &&
                (m_store->KeyExists(kSettingsKey) || m_store->CreateKey(kSettingsKey) == kErrorSuccess);
  }
}

AppState::~AppState() {
  *m_alive = false;
  m_operationMachine.reset();
  m_connectionMachine.reset();
  m_port->Close();
  m_port->SetSink(nullptr);
}

std::vector<PersistedValue*> AppState::PersistedValues() {
  return {&activePage, &advancedMode,           &commandCaptions, &commandTexts,
          &configurationFolder, &fileServer, &firmwareFolder, &firmwareLoadRetryLimit, &loaderFlags,
          &port,       &trace,                  &verboseLogging,  &operatePollInterval};
}

void AppState::SetConnectionState(std::uint32_t state) {
  if (portOpen.Get() == 0) state = kConnectionNone;
  m_connectionState.Update(state);
}

// ---------------------------------------------------------------------------------------------
// Settings

void AppState::LoadSettings() {
  if (m_keyOpen) {
    for (PersistedValue* value : PersistedValues()) value->Load(*m_store, kSettingsKey);
  }
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    if (commandCaptions.At(i).empty()) {
      commandCaptions.ChangeAt(i, FormatText(LoadString(kIdsMacroCaption), static_cast<unsigned>(i + 1)));
    }
  }
  const std::string firmware = DefaultFolder("TOLA Firmware");
  if (firmwareFolder.Get().empty()) firmwareFolder.Change(firmware);
  const std::string configuration = DefaultFolder("TOLA Configuration");
  if (configurationFolder.Get().empty()) configurationFolder.Change(configuration);
}

void AppState::SaveSettings() {
  if (!m_keyOpen) return;
  for (PersistedValue* value : PersistedValues()) value->Save(*m_store, kSettingsKey);
}

std::string AppState::DefaultFolder(const std::string& subFolder) {
  std::string base = AppDataFolder();
  if (base.empty() || CreateFolderPath(base) != kErrorSuccess) base = DocumentsFolder();
  if (base.empty()) return std::string();
  const std::string ostravel = JoinPath(base, "Ostravel");
  CreateFolder(ostravel);
  const std::string folder = JoinPath(ostravel, subFolder);
  CreateFolder(folder);
  return folder;
}

std::string AppState::SettingsFileProblem(bool namedByUser) const {
  if (!m_store || m_store->HivePath().empty()) return {};
  const std::string path = m_store->HivePath();
  if (m_storeLoadResult == kErrorFileTooLarge) {
    return FormatText("Settings file \"%s\" was not read (larger than %u MiB); the defaults are used", path,
                      static_cast<unsigned>(HiveFileStore::kMaxHiveBytes >> 20));
  }
  if (m_storeLoadResult != kErrorSuccess) {
    return FormatText("Settings file \"%s\" was not read (%s); the defaults are used", path,
                      ErrorText(m_storeLoadResult));
  }
  if (namedByUser && !IsRegularFile(path)) {
    return FormatText("Settings file \"%s\" does not exist; the defaults are used", path);
  }
  if (m_store->UnreadLines() != 0) {
    return FormatText("Settings file \"%s\" is damaged: %u of its lines could not be read and are ignored", path,
                      static_cast<unsigned>(m_store->UnreadLines()));
  }
  return {};
}

bool AppState::EnsureFolderExists(const std::string& path) {
  // A creation that failed is asked about again: the operator may have mended the cause (a drive
  // plugged in, a permission given) or gives up with No.
  const std::string question = FormatText(LoadString(kIdsCreateFolderQuestion), path);
  while (!IsDirectory(path)) {
    if (MessageBox(question, LoadString(kIdsCreateFolderCaption), BoxButtons::YesNo, BoxIcon::Information) !=
        BoxAnswer::Yes) {
      return false;
    }
    CreateFolderPath(path);
  }
  return true;
}

bool AppState::SavePlacement(const WindowPlacement& placement) {
  return m_keyOpen && tola::SavePlacement(*m_store, placement);
}

bool AppState::RestorePlacement(WindowPlacement& placement) {
  return m_keyOpen && tola::RestorePlacement(*m_store, placement);
}

// ---------------------------------------------------------------------------------------------
// Serial port

void AppState::ClosePort() {
  m_port->Close();
  portOpen.Change(0);
}

bool AppState::SetPortSpeed(std::uint32_t speed) {
  if (portOpen.Get() == 0) return false;
  if (speed == m_port->Speed()) return true;
  const ResultCode changed = m_port->SetLineSpeed(speed);
  const bool purged = m_port->Purge();
  return changed != 0 && purged && m_port->Speed() == speed;
}

bool AppState::SendCommandText(const std::string& text) {
  m_port->Purge();
  return m_port->Write(text.data(), static_cast<std::uint32_t>(text.size()));
}

bool AppState::SendBytes(const std::string& bytes) {
  return m_port->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

bool AppState::SendSpeedCommand(std::uint32_t speed) {
  if (ConnectionState() != kConnectionFirmware) return false;
  const char* command = nullptr;
  switch (speed) {
    case 4800: command = "^brp0;"; break;
    case 9600: command = "^brp1;"; break;
    case 19200: command = "^brp2;"; break;
    case 38400: command = "^brp3;"; break;
    default: return false;
  }
  SendCommandText(command);
  m_host.Sleep(CSerialPort::kSpeedChangePauseMs);
  return true;
}

void AppState::SetAmplifierSpeed(std::uint32_t speed) {
  if (speed == m_port->Speed()) return;
  SendSpeedCommand(speed);
  SetPortSpeed(speed);
  portSpeed.Notify();
}

void AppState::ClearDeviceInfo() {
  downloadWaiting.Change(0);
  installedRevision.Change(kRevisionUnknown);
  serialNumber.Change(kSerialNumberUnknown);
  SetConnectionState(kConnectionNone);
}

void AppState::PostSerialEvent(std::uint32_t /*wParam*/) {
  // One event waiting on the user-interface thread is enough: its handler reads whatever has come
  // by then, so a fast stream cannot flood the thread's queue.
  if (m_serialEventPending.exchange(true)) return;
  std::weak_ptr<bool> alive = m_alive;
  m_host.Post([this, alive] {
    auto token = alive.lock();
    if (!token || !*token) return;
    // Cleared before the handler runs: bytes arriving while it reads post a new event.
    m_serialEventPending = false;
    if (m_serialEventHandler) m_serialEventHandler();
  });
}

void AppState::PortFailure(const std::string& call, ResultCode code) {
  if (OnUiThread()) {
    ReportPortFailureNow(call, code);
    return;
  }
  // The user-interface thread may be waiting in Close for the reader thread: hand over, never wait.
  std::weak_ptr<bool> alive = m_alive;
  m_host.Post([this, alive, call, code] {
    auto token = alive.lock();
    if (token && *token) ReportPortFailureNow(call, code);
  });
}

void AppState::PortGone() {
  // Always handed over, also on this thread: the port may be inside a machine's send.
  std::weak_ptr<bool> alive = m_alive;
  m_host.Post([this, alive] {
    auto token = alive.lock();
    if (token && *token) OnPortGone();
  });
}

void AppState::OnPortGone() {
  // A loss of a descriptor closed since then says nothing about the port now.
  if (!m_port->DeviceGone() || portLost.Get() != 0) return;
  portLost.Change(1);
  // The running machine ends now instead of timing out state by state on a dead line.
  for (Dialogue* machine : {m_connectionMachine.get(), m_operationMachine.get()}) {
    if (machine && !machine->IsIdle()) {
      machine->OnPortLost();
      break;
    }
  }
}

void AppState::ReportPortFailureNow(const std::string& call, ResultCode code) {
  ReportError(kIdsComPortError, kIdsCallFailed, call, m_port->PortName(), code, ErrorText(code));
  if (m_port->IsOpen() && code != kErrorAccessDenied) {
    std::uint32_t errors = 0;
    if (m_port->ClearCommError(errors)) {
      LogLine(FormatText(LoadString(kIdsClearCommErrorFlags), errors));
    } else {
      const ResultCode again = GetLastError();
      LogLine(FormatText(LoadString(kIdsCallFailed), "ClearCommError", m_port->PortName(), again,
                         ErrorText(again)));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Dialogues

bool AppState::ReplaceOperationMachine(std::unique_ptr<Dialogue> machine) {
  if (m_operationMachine && !m_operationMachine->IsIdle()) return false;
  DestroyOperationMachine();
  m_operationMachine = std::move(machine);
  ++m_operationGeneration;
  return true;
}

void AppState::DestroyOperationMachine() {
  if (!m_operationMachine) return;
  ++m_operationGeneration;
  std::shared_ptr<Dialogue> doomed(m_operationMachine.release());
  m_host.Post([doomed] {});
}

// ---------------------------------------------------------------------------------------------
// Log channel

void AppState::LogLine(const std::string& text) {
  if (m_logSink) m_logSink->OnLogLine(text, false);
}

void AppState::LogVerbose(const std::string& text) {
  if (verboseLogging.Get() != 0 && m_logSink) m_logSink->OnLogLine(text, true);
}

BoxAnswer AppState::MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                               BoxIcon icon, BoxAnswer defaultButton) {
  return m_host.MessageBox(text, caption, buttons, icon, defaultButton);
}

}  // namespace tola
