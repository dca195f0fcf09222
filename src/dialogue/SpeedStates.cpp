#include "dialogue/SpeedStates.h"

#include <algorithm>

namespace tola {

std::uint32_t NextSearchSpeed(std::uint32_t speed) { return speed <= 4800 ? 38400 : speed / 2; }

void ChangeSpeed(AppState& app) {
  app.SetPortSpeed(NextSearchSpeed(app.SerialPort().Speed()));
  app.portSpeed.Notify();
}

void EstablishContactState::ReportAttempt() {
  m_machine.Report(kIdsAttemptingContact, "TOLA", m_machine.Owner().SerialPort().PortName(),
                   m_machine.Owner().SerialPort().Speed());
}

void EstablishContactState::Enter() {
  m_attempts = 0;
  m_timeoutMs = kPollTimeoutMs;
  m_machine.SetWorkingConnectionState(kConnectionNone);
  ReportAttempt();
  SpeedSearchState::Enter();
}

void EstablishContactState::OnTimeout() {
  if (++m_attempts < kPollsPerSpeed) {
    Send();
    return;
  }
  m_attempts = 0;
  ChangeSpeed(m_machine.Owner());
  if (m_machine.Owner().SerialPort().Speed() == 38400) {
    m_timeoutMs = std::min(m_timeoutMs * 3 / 2, kMaxContactTimeoutMs);
  }
  ReportAttempt();
  Send();
}

void DetermineSpeedState::Enter() {
  m_attempts = 0;
  m_speedChanges = 0;
  SpeedSearchState::Enter();
}

void DetermineSpeedState::OnTimeout() {
  if (++m_attempts < kPollsPerSpeed) {
    Send();
    return;
  }
  if (++m_speedChanges >= kMaxSpeedsTried) {
    FailAtOnce();
    return;
  }
  ChangeSpeed(m_machine.Owner());
  m_machine.Trace(kIdsTraceChangeSpeed, Name(), m_machine.Owner().SerialPort().Speed());
  m_attempts = 0;
  Send();
}

void OperateDetermineSpeedState::Enter() {
  m_attempts = 0;
  m_startSpeed = m_machine.Owner().SerialPort().Speed();
  SpeedSearchState::Enter();
}

void OperateDetermineSpeedState::OnTimeout() {
  if (++m_attempts < kPollsPerSpeed) {
    Send();
    return;
  }
  m_attempts = 0;
  ChangeSpeed(m_machine.Owner());
  if (m_machine.Owner().SerialPort().Speed() == m_startSpeed) {
    FailAtOnce();
    return;
  }
  Send();
}

void SaveRS232SpeedState::Execute() {
  m_machine.SetSavedSpeed(m_machine.Owner().SerialPort().Speed());
  GoToNext();
}

void RestoreRS232SpeedState::Execute() {
  AppState& app = m_machine.Owner();
  const std::uint32_t present = app.SerialPort().Speed();
  const std::uint32_t saved = m_machine.SavedSpeed();
  m_machine.Trace(kIdsTraceSpeedFromTo, Name(), present, saved);
  if (present != saved) {
    app.SendSpeedCommand(saved);
    app.SetPortSpeed(saved);
    app.portSpeed.Notify();
  }
  GoToNext();
}

}  // namespace tola
