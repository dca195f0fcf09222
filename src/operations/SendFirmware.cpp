#include "operations/SendFirmware.h"

#include <algorithm>

#include "app/ErrorText.h"
#include "app/VersionLines.h"
#include "dialogue/CommandProtocol.h"
#include "dialogue/ConnectionMachine.h"
#include "formats/FirmwareImage.h"

namespace tola {

namespace {

constexpr const char* kConnectLine = "Connect your TOLA400 to serial port %s";
constexpr const char* kTurnOffLine = "Turn your TOLA400 off for at least 10 seconds";
constexpr const char* kTurnOnLine = "Turn your TOLA400 on again";

constexpr const char* kSendingTitle = "Sending %s Firmware";
constexpr const char* kTotalRetriesLine = "Total number of retries was %u";
constexpr const char* kHighestRetriesLine = "Highest number of retries for any block was %u";
constexpr const char* kVerificationFailedLine = "%s verification failed. Reload %s.";
constexpr const char* kVerificationSucceededLine = "%s verification succeeded";
constexpr const char* kLoadCompleteLine = "%s firmware load is complete";
constexpr const char* kCloseCaption = "Close";

constexpr const char* kFileMissingText = "A required firmware file is missing";
constexpr const char* kFileMissingCaption = "Error";
constexpr const char* kFileRefusedText = "Firmware file \"%s\" cannot be sent: ";
constexpr const char* kSendingFromLine = "Sending firmware from %s";
constexpr const char* kUnexpectedDeviceLine = "Unexpected device %u\n";
constexpr const char* kElapsedLine = "Elapsed time: %u seconds";
constexpr const char* kReadyLine = "Ready";

ConnectionMachine* ConnectionOf(AppState& app) { return dynamic_cast<ConnectionMachine*>(app.ConnectionMachine()); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// "Prepare TOLA to Receive Firmware"

PrepareFirmwareController::PrepareFirmwareController(AppState& app, PrepareFirmwareView& view)
    : m_app(app), m_view(view) {}

PrepareFirmwareController::~PrepareFirmwareController() { Close(); }

void PrepareFirmwareController::Open() {
  if (m_open) return;
  m_open = true;
  m_lines = {FormatText(kConnectLine, m_app.port.Get()), kTurnOffLine, kTurnOnLine};
  for (unsigned i = 0; i < m_lines.size(); ++i) m_view.SetInstructionLine(i, m_lines[i]);
  m_registered = true;
  m_app.ConnectionStateValue().AddListener(this);  // closes at once if something already answers
  if (!m_open) return;
  if (ConnectionMachine* connection = ConnectionOf(m_app)) connection->StartWatching();
}

void PrepareFirmwareController::OnNotify(std::uint32_t id, std::uint32_t /*wParam*/) {
  if (id == kIdConnectionState && m_app.ConnectionState() != kConnectionNone) Close();
}

void PrepareFirmwareController::Close() {
  if (!m_open) return;
  m_open = false;
  if (ConnectionMachine* connection = ConnectionOf(m_app)) connection->StopWatching();
  if (m_registered) {
    m_app.ConnectionStateValue().RemoveListener(this);
    m_registered = false;
  }
  m_view.CloseView();
}

// ---------------------------------------------------------------------------------------------
// "Sending Firmware"

SendingFirmwareController::SendingFirmwareController(AppState& app, SendingFirmwareView& view)
    : m_app(app), m_view(view) {}

SendingFirmwareController::~SendingFirmwareController() {
  if (!m_closed) {
    Close(kResultFailure);
  } else {
    Unregister();
  }
}

void SendingFirmwareController::DialogLine(const std::string& text) {
  m_view.AppendLog(text);
  m_app.LogLine(text);
}

void SendingFirmwareController::Open() {
  DialogLine(ProgramVersionLine());
  DialogLine(OperatingSystemLine(CurrentOsVersion()));
  DialogLine(FormatText(LoadString(kIdsStatusRevision), "TOLA", RevisionText(m_app.installedRevision.Get()),
                        m_app.SerialPort().Speed()));
}

void SendingFirmwareController::Show() {
  if (m_closed || m_machine != nullptr || m_finished) return;
  auto machine = std::make_unique<FirmwareLoadMachine>(m_app);
  FirmwareLoadMachine* raw = machine.get();
  if (!m_app.ReplaceOperationMachine(std::move(machine))) {
    // Another operation is still running; this one cannot start.
    OnCompletion(kErrorBusy);
    return;
  }
  m_machine = raw;
  m_registered = true;
  m_app.progressRange.AddListener(this);
  m_app.progressPosition.AddListener(this);
  m_app.dialogueFinished.AddListenerQuiet(this);
  m_view.SetTitle(FormatText(kSendingTitle, m_machine->DeviceName()));
  m_view.SetBusy(true);
  m_machine->StartLoad([this](const std::string& text) { m_view.AppendLog(text); });
}

bool SendingFirmwareController::IsRunning() const { return m_machine != nullptr && !m_machine->IsIdle(); }

void SendingFirmwareController::OnNotify(std::uint32_t id, std::uint32_t wParam) {
  switch (id) {
    case kIdProgressRange: m_view.SetProgressRange(m_app.progressRange.Get() & 0xFFFFu); break;
    case kIdProgressPosition:
      // The last block may end past the data length: the bar stops at its end.
      m_view.SetProgressPosition(std::min(m_app.progressPosition.Get(), m_app.progressRange.Get() & 0xFFFFu));
      break;
    case kIdDialogueFinished:
      if (m_machine != nullptr && !m_finished) OnCompletion(wParam);
      break;
    default: break;
  }
}

void SendingFirmwareController::OnCompletion(ResultCode result) {
  m_finished = true;
  m_view.SetButtonCaption(kCloseCaption);
  m_view.SetBusy(false);
  const std::string device = m_machine ? m_machine->DeviceName() : "TOLA400";
  if (m_machine && m_machine->TotalRetries() != 0) {
    DialogLine(FormatText(kTotalRetriesLine, m_machine->TotalRetries()));
    DialogLine(FormatText(kHighestRetriesLine, m_machine->HighestRetries()));
  }
  if (result == 0 && m_machine) result = m_machine->VerifyRevision(true);
  m_completion = result;
  if (result != 0) {
    DialogLine(FormatText(LoadString(kIdsErrorCode), result, ErrorText(result)));
    if (result != kUnexpectedDevice) DialogLine(FormatText(kVerificationFailedLine, device, device));
    DialogLine(LoadString(kIdsClickCloseToClose));
    return;
  }
  const std::string succeeded = FormatText(kVerificationSucceededLine, device);
  m_view.AppendLog(succeeded);
  m_app.LogVerbose(succeeded);
  DialogLine(FormatText(kLoadCompleteLine, device));
  if (m_app.trace.Get() != 0) {
    m_view.AppendLog(LoadString(kIdsClickCloseToClose));
  } else {
    Close(kResultSuccess);
  }
}

bool SendingFirmwareController::RequestClose() {
  if (m_closed) return true;
  if (!IsRunning()) {
    // Closed before any load ended counts as a failure too.
    Close(m_finished && m_completion == 0 ? kResultSuccess : kResultFailure);
    return true;
  }
  const BoxAnswer answer =
      m_app.MessageBox(kCloseQuestion, kCloseQuestionCaption, BoxButtons::YesNo, BoxIcon::Warning, BoxAnswer::No);
  if (answer != BoxAnswer::Yes || m_closed) return m_closed;
  Close(kResultFailure);
  return true;
}

void SendingFirmwareController::Unregister() {
  if (!m_registered) return;
  m_registered = false;
  m_app.progressRange.RemoveListener(this);
  m_app.progressPosition.RemoveListener(this);
  m_app.dialogueFinished.RemoveListener(this);
}

void SendingFirmwareController::Close(int result) {
  if (m_closed) return;
  m_closed = true;
  m_result = result;
  Unregister();
  if (m_machine != nullptr) {
    // Nothing more may be sent: the pending wait goes with the machine.
    if (!m_machine->IsIdle()) m_machine->KillTimer();
    m_machine->Destroy();
    m_machine = nullptr;
  }
  m_view.CloseView(result);
}

// ---------------------------------------------------------------------------------------------
// The operation

void SendFirmware::ChangeSpeed(std::uint32_t speed) {
  if (m_app.SerialPort().Speed() == speed) return;
  m_ui.AppendPageLog(FormatText(LoadString(kIdsChangeSpeed), speed));
  m_app.SetAmplifierSpeed(speed);
}

SendFirmwareOutcome SendFirmware::Run(const FirmwareChoice& choice) {
  const std::uint32_t startTick = m_app.GetHost().TickCount();
  const std::uint32_t startSpeed = m_app.SerialPort().Speed();
  m_dialogResult = 0;
  std::uint32_t notedState = kConnectionNone;
  SendFirmwareOutcome outcome = SendFirmwareOutcome::NoFirmwareFile;

  std::uint32_t faultLine = 0;
  const ResultCode fileCheck = choice.HasFirmware() ? CheckFirmwareFile(choice.firmwareFile, faultLine) : kErrorSuccess;
  if (!choice.HasFirmware()) {
    m_app.MessageBox(kFileMissingText, kFileMissingCaption, BoxButtons::Ok, BoxIcon::Error);
  } else if (fileCheck != kErrorSuccess) {
    // A file that cannot be sent whole is refused before the port or the amplifier is touched.
    const std::string fault = FormatText(kFileRefusedText, choice.firmwareFile) + FirmwareFileFault(faultLine, fileCheck);
    m_ui.AppendPageLog(fault);
    m_app.MessageBox(fault, kFileMissingCaption, BoxButtons::Ok, BoxIcon::Error);
    outcome = SendFirmwareOutcome::Failed;
  } else {
    m_app.LogVerbose(FormatText(kSendingFromLine, m_app.firmwareFolder.Get()));
    notedState = m_app.ConnectionState();
    if (notedState != kConnectionNone && !m_app.IsExpectedDevice()) {
      m_ui.AppendPageLog(FormatText(kUnexpectedDeviceLine, m_app.deviceType.Get()));
      outcome = SendFirmwareOutcome::UnexpectedDevice;
    } else {
      ChangeSpeed(38400);
      if (m_app.ConnectionState() == kConnectionNone) m_ui.ShowPrepareDialog();
      if (m_app.ConnectionState() == kConnectionNone) {
        outcome = SendFirmwareOutcome::NoLoader;
      } else {
        m_app.firmwareToSend.Change(FirmwareToSend{choice.firmwareRevision, choice.firmwareFile});
        m_dialogResult = m_ui.ShowSendingDialog();
        outcome = m_dialogResult == SendingFirmwareController::kResultSuccess ? SendFirmwareOutcome::Loaded
                                                                              : SendFirmwareOutcome::Failed;
      }
    }
  }

  // A load through the loader ends with the amplifier at a speed of its own, which the load has
  // found. The speed noted at the start is worth going back to only when the firmware was running
  // then: with nothing answering it was merely where the port happened to be.
  const bool keepSpeed =
      m_dialogResult == SendingFirmwareController::kResultSuccess && notedState != kConnectionFirmware;
  // A port whose device went away has nobody to talk to; the next test opens it again.
  const bool lost = m_app.PortLost();
  if (!keepSpeed && !lost) ChangeSpeed(startSpeed);

  if (ConnectionMachine* connection = ConnectionOf(m_app); connection && !lost) connection->StartTest();
  m_ui.UpdateSendButton();
  const std::uint32_t elapsed = m_app.GetHost().TickCount() - startTick;
  m_app.LogVerbose(FormatText(kElapsedLine, (elapsed + 500) / 1000));
  m_app.LogLine(kReadyLine);
  return outcome;
}

}  // namespace tola
