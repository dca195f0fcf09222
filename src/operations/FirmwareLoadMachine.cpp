#include "operations/FirmwareLoadMachine.h"

#include <algorithm>

#include "app/ErrorText.h"
#include "dialogue/CommandProtocol.h"
#include "firmware/FirmwareFolder.h"

namespace tola {

namespace {

constexpr const char* kSendingFileLine = "Sending firmware file %s to %s";
constexpr const char* kRetrySuccessLine = "Retry %u successful at address 0x%06X";
constexpr const char* kRetrySuccessFillLine = "Retry %u successful at address 0x%06X, %u fill bytes";
constexpr const char* kSendFailedLine = "Send %s firmware failed at load address 0x%06X";
constexpr const char* kNoEchoLine = "%s Bootstrap Loader did not echo \"%s\"\r\nRemove power and retry firmware load";
constexpr const char* kWaitingResetLine = "Waiting %u seconds for reset to complete";
constexpr const char* kResumeLine =
    "%s Bootstrap Loader is waiting in the middle of a download: sending the firmware from its first packet";
constexpr const char* kVerifyLine = "Loaded %s firmware revision \"%s\"\r\n%s responded with revision \"%s\"";

constexpr std::uint32_t kPacketTimeoutMs = 2000;
constexpr std::uint32_t kResyncPollTimeoutMs = 100;
constexpr std::uint32_t kFirstInitialAddress = FirmwareImage::kWindowStart + kFirmwarePacketData;

std::string HexBytes(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0x0F]);
  }
  return out;
}

}  // namespace

std::string BuildFirmwarePacket(std::span<const std::uint8_t> data, std::uint32_t addressField) {
  std::string packet(kFirmwarePacketSize, '\0');
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < kFirmwarePacketData; ++i) {
    const std::uint8_t b = i < data.size() ? data[i] : 0xFF;
    packet[i] = static_cast<char>(b);
    sum = static_cast<std::uint8_t>(sum + b);
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const auto b = static_cast<std::uint8_t>((addressField >> (8 * i)) & 0xFFu);
    packet[kFirmwarePacketData + i] = static_cast<char>(b);
    sum = static_cast<std::uint8_t>(sum + b);
  }
  packet[kFirmwarePacketSize - 1] = static_cast<char>(static_cast<std::uint8_t>(256u - sum));
  return packet;
}

// ---------------------------------------------------------------------------------------------
// Entering the loader

void LoadEnterBootLoaderState::Execute() {
  if (m_machine.Owner().ConnectionState() == kConnectionFirmware) {
    Send();
  } else {
    GoToNext();
  }
}

void LoadEnterBootLoaderState::OnTimeout() {
  // The loader listens at 38,400 only; the amplifier is not told anything.
  AppState& app = m_machine.Owner();
  app.SetPortSpeed(38400);
  app.portSpeed.Notify();
  GoToNext();
}

void LoadBeginDownloadState::OnResponse(const std::string& response) {
  AppState& app = m_machine.Owner();
  app.installedRevision.Change(kRevisionLoading);
  app.SetConnectionState(kConnectionLoader);
  m_machine.SetWorkingConnectionState(kConnectionLoader);
  QueryState::OnResponse(response);
}

void LoadBeginDownloadState::GoToFinal() {
  auto& load = static_cast<FirmwareLoadMachine&>(m_machine);
  // A cancel can also end the machine here; only a missing echo is worth the advice.
  if (load.Result() == kLoaderNoD) load.ReportText(FormatText(kNoEchoLine, "TOLA", "D"));
  load.Owner().ClearDeviceInfo();
  QueryState::GoToFinal();
}

// ---------------------------------------------------------------------------------------------
// Packets

FirmwarePacketState::FirmwarePacketState(FirmwareLoadMachine& machine, std::string name, CState* next, Phase phase)
    : QueryState(machine, std::move(name), next, kPacketTimeoutMs, std::string(), kNoResponseFirmwarePacket),
      m_load(machine), m_phase(phase) {}

std::string FirmwarePacketState::Terminators() const { return std::string{Acknowledge(), 'N'}; }

void FirmwarePacketState::Enter() {
  if (m_phase == Phase::Initial) {
    m_load.ReportText(FormatText(kSendingFileLine, m_load.FilePath(), m_load.DeviceName()));
  } else {
    const auto data = m_load.Image().Data().subspan(0, kFirmwarePacketData);
    m_load.SetPacket(BuildFirmwarePacket(data, kLastPacketAddressField));
  }
  m_load.SetFillCount(0);
  m_retries = 0;
  QueryState::Enter();
}

void FirmwarePacketState::Execute() {
  if (m_phase == Phase::Initial) {
    BuildStep();
  } else {
    Send();
  }
}

void FirmwarePacketState::BuildStep() {
  AppState& app = m_load.Owner();
  const std::uint32_t start = FirmwareImage::kWindowStart;
  const std::uint32_t next = m_load.NextAddress();
  app.progressPosition.Change((next - start) / 16);
  const std::size_t length = m_load.Image().DataLength();
  if (next >= start + length) {
    GoToNext();
    return;
  }
  const auto data = m_load.Image().Data().subspan(next - start, kFirmwarePacketData);
  m_load.SetPacket(BuildFirmwarePacket(data, next));
  m_load.SetNextAddress(next + kFirmwarePacketData);
  Send();
}

void FirmwarePacketState::Send() {
  if (m_machine.Owner().PortLost()) {
    Fail(kErrorDeviceNotConnected);
    return;
  }
  if (m_machine.HasFailed()) {
    GoToFinal();
    return;
  }
  m_machine.SetTerminators(Terminators());
  m_machine.SendCommand(m_load.Packet(), m_timeoutMs);
}

void FirmwarePacketState::LogSend(const std::string& text) {
  // 264 hexadecimal digits per packet: built only when someone reads them.
  if (!m_machine.TraceEnabled()) return;
  m_machine.Trace(kIdsTraceSendBytes, Name(), static_cast<unsigned>(text.size()), HexBytes(text));
}

bool FirmwarePacketState::Accept(const std::string& response) {
  return response.find(Acknowledge()) != std::string::npos || response.find('N') != std::string::npos;
}

void FirmwarePacketState::OnAccepted(const std::string& response) {
  if (response.find(Acknowledge()) != std::string::npos) {
    if (m_retries > 0) {
      const std::uint32_t fill = m_load.FillCount();
      if (fill == 0) {
        m_load.ReportText(FormatText(kRetrySuccessLine, m_retries, m_load.NextAddress()));
      } else {
        m_load.ReportText(FormatText(kRetrySuccessFillLine, m_retries, m_load.NextAddress(), fill));
      }
      m_load.AddRetries(m_retries);
      m_retries = 0;
    }
    m_load.SetFillCount(0);
    if (m_phase == Phase::Initial) {
      BuildStep();
    } else {
      GoToNext();
    }
    return;
  }
  // Refused. Half-way through the allowance the loader may be out of step with the packets.
  const std::uint32_t before = m_retries;
  m_retries = before + 1;
  if (before == m_machine.RetryLimit() / 2) {
    Resynchronise();
  } else if (m_retries < m_machine.RetryLimit()) {
    Send();
  } else {
    Fail(kRetryLimitExhausted);
  }
}

void FirmwarePacketState::OnTimeout() {
  const std::uint32_t before = m_retries;
  m_retries = before + 1;
  if (before >= m_load.PacketTimeoutLimit()) {
    FailAtOnce();
  } else {
    Resynchronise();
  }
}

void FirmwarePacketState::Resynchronise() {
  m_machine.SetCurrent(m_resync);
  m_resync->Enter();
  m_machine.Current()->Execute();
}

void FirmwarePacketState::GoToFinal() {
  m_load.ReportText(FormatText(kSendFailedLine, m_load.DeviceName(), m_load.NextAddress()));
  m_load.AddRetries(m_retries);
  QueryState::GoToFinal();
}

// ---------------------------------------------------------------------------------------------
// Resynchronisation

FirmwareResyncState::FirmwareResyncState(FirmwareLoadMachine& machine, std::string name,
                                         FirmwarePacketState& packetState)
    : QueryState(machine, std::move(name), nullptr, kResyncPollTimeoutMs, ";", kNoResponseResync),
      m_load(machine), m_packetState(packetState) {}

void FirmwareResyncState::Enter() {
  m_load.SetFillCount(1);
  QueryState::Enter();
}

void FirmwareResyncState::OnTimeout() {
  const std::uint32_t fill = m_load.FillCount();
  if (fill < kPollLimit) {
    m_load.SetFillCount(fill + 1);
    Send();
  } else {
    FailAtOnce();
  }
}

void FirmwareResyncState::GoToNext() {
  // Back to the packet already built, without entering its state again.
  m_machine.SetCurrent(&m_packetState);
  m_packetState.Send();
}

// ---------------------------------------------------------------------------------------------
// After the last packet

void LoadWaitResetState::Enter() {
  static_cast<FirmwareLoadMachine&>(m_machine).ReportText(FormatText(kWaitingResetLine, (kWaitMs + 500) / 1000));
}

void LoadWaitResetState::Execute() { m_machine.Wait(kWaitMs); }

// ---------------------------------------------------------------------------------------------
// The machine

FirmwareLoadMachine::FirmwareLoadMachine(AppState& app)
    : CStateMachine(app, kTimerFirmwareLoad),
      m_packetTimeoutLimit(app.firmwareLoadRetryLimit.Get()),
      m_querySerialNumber(*this, &Final()),
      m_queryRevision(*this, &m_querySerialNumber),
      m_determineSpeed(*this, &m_queryRevision),
      m_waitReset(*this, &m_determineSpeed),
      m_lastPacket(*this, "LoadFirmwareLastState", &m_waitReset, FirmwarePacketState::Phase::Last),
      m_resyncLast(*this, "LoadResyncLastState", m_lastPacket),
      m_initialPackets(*this, "LoadFirmwareInitialState", &m_lastPacket, FirmwarePacketState::Phase::Initial),
      m_resyncInitial(*this, "LoadResyncInitialState", m_initialPackets),
      m_beginDownload(*this, &m_initialPackets),
      m_enterBootLoader(*this, &m_beginDownload),
      m_verifyDevice(*this, &m_enterBootLoader),
      m_queryI(*this, &m_beginDownload, &m_verifyDevice) {
  m_lastPacket.SetResync(&m_resyncLast);
  m_initialPackets.SetResync(&m_resyncInitial);
}

FirmwareLoadMachine::~FirmwareLoadMachine() = default;

void FirmwareLoadMachine::Log(const std::string& text) {
  if (m_logTarget) m_logTarget(text);
}

void FirmwareLoadMachine::ReportText(const std::string& text) {
  Log(text);
  m_owner.LogLine(text);
}

void FirmwareLoadMachine::AddRetries(std::uint32_t retries) {
  m_highestRetries = std::max(m_highestRetries, retries);
  m_totalRetries += retries;
}

void FirmwareLoadMachine::Complete() {
  PublishConnectionState();
  NotifyCompletion();
}

ResultCode FirmwareLoadMachine::VerifyRevision(bool logAlways) {
  const std::uint16_t expected = m_owner.firmwareToSend.Get().revision;
  const std::uint16_t installed = m_owner.installedRevision.Get();
  const ResultCode result = expected == installed ? 0 : kRevisionVerifyFailed;
  if (logAlways || result != 0) {
    ReportText(FormatText(kVerifyLine, m_deviceName, FileRevisionText(expected), "TOLA", RevisionText(installed)));
  }
  return result;
}

bool FirmwareLoadMachine::StartLoad(LogTarget target) {
  if (!IsIdle()) return false;
  m_logTarget = std::move(target);
  m_filePath = m_owner.firmwareToSend.Get().path;

  ResultCode result = 0;
  if (!m_image.Load(m_filePath)) {
    result = GetLastError();
    if (result == 0) result = kErrorGenFailure;
    ReportText(FormatText(LoadString(kIdsLineErrorCode), static_cast<unsigned>(m_image.LineNumber()), result,
                          ErrorText(result)));
  } else {
    result = m_image.Reconcile();
  }
  if (result != 0) {
    // Nothing is sent for a file that cannot be trusted.
    SetResult(result);
    Final().Enter();
    Final().Execute();
    return true;
  }

  m_owner.progressPosition.Change(0);
  m_owner.progressRange.Change(static_cast<std::uint32_t>(m_image.DataLength() / 16));
  m_nextAddress = kFirstInitialAddress;
  if (m_owner.downloadWaiting.Get() != 0 && m_owner.ConnectionState() == kConnectionLoader) {
    // A loader left mid-download hears nothing but packets: no identification, no "D". The packets
    // carry their addresses, so the whole image goes again.
    m_owner.downloadWaiting.Change(0);
    ReportText(FormatText(kResumeLine, "TOLA"));
    m_owner.installedRevision.Change(kRevisionLoading);
    Start(m_initialPackets);
    return true;
  }
  Start(m_queryI);
  return true;
}

}  // namespace tola
