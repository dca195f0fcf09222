#include "dialogue/ConnectionMachine.h"

#include "app/ErrorText.h"
#include "dialogue/CommandProtocol.h"

namespace tola {

// --- Identification

void QueryIState::Enter() {
  m_command = "^I;";
  m_loaderAnswered = false;
  m_firmwareAnswered = false;
  m_timeoutMs = kIdentifyTimeoutMs;
  QueryState::Enter();
}

bool QueryIState::Accept(const std::string& response) {
  AppState& app = m_machine.Owner();
  for (const DeviceName& name : kDeviceNames) {
    if (response.find(name.text) == std::string::npos) continue;
    (name.firmware ? m_firmwareAnswered : m_loaderAnswered) = true;
    m_identified = name.deviceType;
    app.deviceType.Change(name.deviceType);
    return true;
  }
  app.deviceType.Change(kDeviceNone);
  return false;
}

void QueryIState::GoToSecond() {
  m_machine.SetCurrent(m_second);
  m_second->Enter();
  m_machine.Current()->Execute();
}

void QueryIState::GoToNext() {
  if (m_machine.Owner().IsExpectedDevice()) {
    if (m_loaderAnswered) {
      m_machine.SetWorkingConnectionState(kConnectionLoader);
      QueryState::GoToNext();
      return;
    }
    if (m_firmwareAnswered) {
      m_machine.SetWorkingConnectionState(kConnectionFirmware);
      GoToSecond();
    }
    return;
  }
  m_machine.SetWorkingConnectionState(kConnectionNone);
  GoToSecond();
}

void QueryIState::OnTimeout() {
  AppState& app = m_machine.Owner();
  app.deviceType.Change(kDeviceNone);
  if (app.watchFlag.Get() == 1) {
    m_command = "B;";
    m_timeoutMs = kWatchTimeoutMs;
    app.SetPortSpeed(38400);
    app.portSpeed.Notify();
    Send();
  } else if (m_command == "^I;") {
    m_command = "^ID;";
    m_timeoutMs = kIdentifyTimeoutMs;
    Send();
  } else {
    GoToNext();
  }
}

// --- A download left waiting

void FindDownloadBoundaryState::Enter() {
  m_polls = 0;
  AppState& app = m_machine.Owner();
  // The loader listens at 38,400 only.
  app.SetPortSpeed(38400);
  app.portSpeed.Notify();
  QueryState::Enter();
}

void FindDownloadBoundaryState::OnAccepted(const std::string& response) {
  if (response != "N") {
    NotFound();
    return;
  }
  AppState& app = m_machine.Owner();
  app.deviceType.Change(kDeviceTola400);
  app.downloadWaiting.Change(1);
  m_machine.SetWorkingConnectionState(kConnectionLoader);
  QueryState::OnAccepted(response);
}

void FindDownloadBoundaryState::OnTimeout() {
  if (++m_polls < kPollLimit) {
    Send();
    return;
  }
  NotFound();
}

void FindDownloadBoundaryState::NotFound() {
  m_machine.SetCurrent(m_notFound);
  m_notFound->Enter();
  m_machine.Current()->Execute();
}

// --- Revision and serial number

void QueryRevisionState::Enter() {
  m_retries = 0;
  QueryState::Enter();
}

bool QueryRevisionState::Accept(const std::string& response) {
  if (!HasPrefix(response, "^RV")) return false;
  if (auto revision = ParseRevision(response)) m_machine.Owner().installedRevision.Change(*revision);
  m_machine.SetWorkingConnectionState(kConnectionFirmware);
  return true;
}

void QueryRevisionState::OnTimeout() {
  if (m_retry) {
    RetryOrFail(m_retries);
  } else {
    FailAtOnce();
  }
}

bool QuerySerialNumberState::Accept(const std::string& response) {
  if (!HasPrefix(response, "^SN")) return false;
  const std::int32_t number = ParseNumber(std::string_view(response).substr(3));
  if (number > 65535) return false;
  m_machine.Owner().serialNumber.Change(static_cast<std::uint16_t>(static_cast<std::uint32_t>(number) & 0xFFFFu));
  return true;
}

void VerifyExpectedDeviceState::Execute() {
  if (m_machine.Owner().IsExpectedDevice()) {
    GoToNext();
  } else {
    Fail(kUnexpectedDevice);
  }
}

// --- Opening and closing

namespace {

void ClosePortAndForget(CStateMachine& machine) {
  AppState& app = machine.Owner();
  app.ClosePort();
  machine.ReportVerbose(kIdsSerialPortClosed, app.SerialPort().PortName());
  app.ClearDeviceInfo();
  machine.SetWorkingConnectionState(kConnectionNone);
}

}  // namespace

void ConnectionMachine::ClosePortState::Execute() {
  if (m_machine.Owner().portOpen.Get() == 1) ClosePortAndForget(m_machine);
  GoToNext();
}

void ConnectionMachine::OpenPortState::Execute() {
  AppState& app = m_machine.Owner();
  if (app.SerialPort().IsOpen()) ClosePortAndForget(m_machine);
  const std::string name = app.port.Get();
  if (name.empty()) {
    Fail(kPortNameMissing);
    return;
  }
  m_machine.ReportVerbose(kIdsOpeningSerialPort, name);
  const bool opened = app.SerialPort().Open(name);
  const ResultCode code = opened ? 0 : GetLastError();
  app.portOpen.Change(opened ? 1 : 0);
  if (opened) {
    app.portLost.Change(0);
    app.SetPortSpeed(38400);
    app.portSpeed.Notify();
    m_machine.Report(kIdsSerialPortOpen, name);
    GoToNext();
    return;
  }
  if (code == kErrorAccessDenied) {
    m_machine.Report(kIdsPortInUse, name);
  } else {
    m_machine.Report(kIdsUnableToOpenPort, name, code, ErrorText(code));
  }
  Fail(code);
}

// --- The machine

ConnectionMachine::ConnectionMachine(AppState& app)
    : CStateMachine(app, kTimerConnection),
      m_querySerialNumber(*this, &Final()),
      m_queryRevision(*this, &m_querySerialNumber),
      m_queryI(*this, &Final(), &m_queryRevision),
      m_findDownload(*this, &Final(), &m_queryI),
      m_establishContact(*this, &m_queryI),
      m_openPort(*this, &m_establishContact),
      m_closePort(*this, &Final()) {}

void ConnectionMachine::Begin(CState& first) {
  m_queryI.ForgetIdentified();
  Start(first);
}

bool ConnectionMachine::StartClosePort() {
  Begin(m_closePort);
  return true;
}

bool ConnectionMachine::StartTest() {
  Begin(m_openPort);
  return true;
}

bool ConnectionMachine::StartWatching() {
  m_owner.watchFlag.Change(1);
  m_findDownload.SetNotFound(&m_queryI);
  Begin(m_findDownload);
  return true;
}

bool ConnectionMachine::StartFindingDownload() {
  m_findDownload.SetNotFound(&Final());
  Begin(m_findDownload);
  return true;
}

bool ConnectionMachine::StopWatching() {
  m_owner.watchFlag.Change(0);
  return true;
}

void ConnectionMachine::Complete() {
  PublishConnectionState();
  // Only the run that identified another device warns of it: the device type outlives the run (a
  // later close or failed open must not repeat the box).
  const std::uint32_t type = m_owner.deviceType.Get();
  if (type != kDeviceNone && type != kDeviceTola400 && m_queryI.Identified() == type) {
    m_owner.MessageBox(LoadString(kIdsUnexpectedDevice), LoadString(kIdsUnexpectedDeviceCaption), BoxButtons::Ok,
                       BoxIcon::Warning);
  }
}

ConnectionMachine& InstallConnectionMachine(AppState& app) {
  auto machine = std::make_unique<ConnectionMachine>(app);
  ConnectionMachine& ref = *machine;
  app.SetConnectionMachine(std::move(machine));
  return ref;
}

}  // namespace tola
