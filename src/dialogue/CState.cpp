#include "dialogue/CState.h"

#include "dialogue/CStateMachine.h"

namespace tola {

void CState::GoToNext() {
  if (m_next == nullptr) return;
  m_machine.SetCurrent(m_next);
  m_next->Enter();
  m_machine.Current()->Execute();
}

void CState::GoToFinal() {
  m_machine.SetCurrent(&m_machine.Final());
  m_machine.Final().Enter();
  m_machine.Current()->Execute();
}

void CState::OnResponse(const std::string& /*response*/) {}
void CState::Execute() {}
void CState::Enter() {}
void CState::OnTimeout() {}
void CState::LogSend(const std::string& /*text*/) {}

void CState::Fail(ResultCode code) {
  m_machine.SetResult(code);
  GoToFinal();
}

void CommandState::Execute() {
  if (m_command.empty()) {
    GoToNext();
    return;
  }
  Send();
}

void CommandState::OnTimeout() { GoToNext(); }

void CommandState::LogSend(const std::string& text) {
  m_machine.Trace(kIdsTraceSend, m_machine.Current()->Name(), text);
}

void CommandState::Send() {
  if (m_machine.Owner().PortLost()) {
    Fail(kErrorDeviceNotConnected);
    return;
  }
  if (m_machine.HasFailed()) {
    GoToFinal();
    return;
  }
  m_machine.SendCommand(m_command, m_timeoutMs);
}

void CommandState::RetryOrFail(std::uint32_t& retries) {
  ++retries;
  if (retries < m_machine.RetryLimit()) {
    Send();
  } else {
    Fail(m_failureCode);
  }
}

void QueryState::OnResponse(const std::string& response) {
  if (!Accept(response)) return;
  m_machine.KillTimer();
  OnAccepted(response);
}

void QueryState::Enter() { m_machine.SetTerminators(Terminators()); }
void QueryState::OnAccepted(const std::string& /*response*/) { Proceed(); }
void QueryState::Proceed() { GoToNext(); }
bool QueryState::Accept(const std::string& /*response*/) { return true; }

void FinalState::Execute() { m_machine.Complete(); }

}  // namespace tola
