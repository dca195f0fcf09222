#include "dialogue/CStateMachine.h"

namespace tola {

std::string PrintableForm(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b <= 0x7E) {
      out.push_back(c);
    } else {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0x0F]);
    }
  }
  return out;
}

CStateMachine::CStateMachine(AppState& owner, unsigned timerId)
    : m_owner(owner), m_timerId(timerId), m_final(*this), m_current(&m_final) {}

bool CStateMachine::Cancel() {
  if (IsIdle()) return false;
  if (m_result == 0) m_result = kErrorCancelled;
  return true;
}

void CStateMachine::Destroy() {
  // The connection machine lives as long as AppState; an operation machine goes with its reference.
  if (m_owner.OperationMachine() == this) m_owner.DestroyOperationMachine();
}

void CStateMachine::Start(CState& state) {
  m_result = 0;
  m_connectionState = m_owner.ConnectionState();
  m_current = &state;
  state.Enter();
  m_current->Execute();
}

bool CStateMachine::StartIfIdle(CState& state) {
  if (!IsIdle()) return false;
  Start(state);
  return true;
}

void CStateMachine::SendCommand(const std::string& command, std::uint32_t timeoutMs) {
  m_response.clear();
  m_current->LogSend(command);
  m_owner.SendCommandText(command);
  Wait(timeoutMs);
}

void CStateMachine::SendBytes(const std::string& bytes, std::uint32_t timeoutMs) {
  m_response.clear();
  m_owner.SendBytes(bytes);
  Wait(timeoutMs);
}

void CStateMachine::Wait(std::uint32_t timeoutMs) {
  m_owner.GetHost().SetTimer(m_timerId, timeoutMs);
  m_sendTime = m_owner.GetHost().TickCount();
}

void CStateMachine::KillTimer() { m_owner.GetHost().KillTimer(m_timerId); }

void CStateMachine::OnSerialEvent() {
  CSerialPort& port = m_owner.SerialPort();
  for (;;) {
    char byte = 0;
    std::uint32_t got = 0;
    if (!port.Read(&byte, 1, got) || got == 0) break;
    m_response.push_back(byte);
    if (m_terminators.find(byte) != std::string::npos) break;
  }
  if (m_response.empty() || m_terminators.find(m_response.back()) == std::string::npos) return;

  const std::string response = m_response;
  Trace(kIdsTraceResponse, m_current->Name(), PrintableForm(response), MillisecondsSinceSend());
  m_current->OnResponse(response);
  m_response.clear();
}

void CStateMachine::OnTimer(unsigned timerId) {
  if (timerId != m_timerId) return;
  KillTimer();
  Trace(kIdsTraceTimerElapsed, m_current->Name(), MillisecondsSinceSend());
  m_current->OnTimeout();
}

void CStateMachine::OnPortLost() {
  if (IsIdle()) return;
  KillTimer();
  m_current->Fail(kErrorDeviceNotConnected);
}

void CStateMachine::NotifyCompletion(ResultCode result) {
  ++m_completions;
  m_owner.dialogueFinished.Notify(result);
}

void CStateMachine::PublishConnectionState() {
  if (HasFailed() && m_result != kUnexpectedDevice) m_connectionState = kConnectionNone;
  m_owner.SetConnectionState(m_connectionState);
}

}  // namespace tola
