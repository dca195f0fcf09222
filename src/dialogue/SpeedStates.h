#pragma once
// Finding the amplifier's line speed: poll with a bare ";" and step the port through the four
// speeds (38,400, 19,200, 9,600, 4,800, then 38,400 again) until something answers.

#include <cstdint>

#include "dialogue/CStateMachine.h"

namespace tola {

inline constexpr std::uint32_t kPollsPerSpeed = 4;
inline constexpr std::uint32_t kPollTimeoutMs = 100;
inline constexpr std::uint32_t kMaxContactTimeoutMs = 5000;
inline constexpr std::uint32_t kMaxSpeedsTried = 20;

// The speed a search tries after `speed`.
std::uint32_t NextSearchSpeed(std::uint32_t speed);
// One step of a search: the port moves to the next speed; nothing is sent to the amplifier.
void ChangeSpeed(AppState& app);

// Common ground of the three searches: ";" with 100 ms, any complete response is contact.
class SpeedSearchState : public QueryState {
 public:
  SpeedSearchState(CStateMachine& machine, std::string name, CState* next, ResultCode failureCode)
      : QueryState(machine, std::move(name), next, kPollTimeoutMs, ";", failureCode) {}

  std::uint32_t Attempts() const { return m_attempts; }

 protected:
  std::uint32_t m_attempts = 0;
};

// The connection test's search: never gives up; the wait grows by half after each full cycle.
class EstablishContactState : public SpeedSearchState {
 public:
  EstablishContactState(CStateMachine& machine, CState* next)
      : SpeedSearchState(machine, "EstablishContactState", next, 0) {}
  void Enter() override;
  void OnTimeout() override;

 private:
  void ReportAttempt();
};

// After a reset or before EEPROM work: fails with 0xE2000045 after 20 speeds.
class DetermineSpeedState : public SpeedSearchState {
 public:
  DetermineSpeedState(CStateMachine& machine, CState* next)
      : SpeedSearchState(machine, "DetermineSpeedState", next, kNoResponseAfterReset) {}
  void Enter() override;
  void OnTimeout() override;

 private:
  std::uint32_t m_speedChanges = 0;
};

// The start of operate polling: one cycle of the four speeds, then 0xE2000049.
class OperateDetermineSpeedState : public SpeedSearchState {
 public:
  OperateDetermineSpeedState(CStateMachine& machine, CState* next)
      : SpeedSearchState(machine, "OperateDetermineSpeedState", next, kNoResponseSemicolonPoll) {}
  void Enter() override;
  void OnTimeout() override;

 private:
  std::uint32_t m_startSpeed = 0;
};

// Around a configuration restore: remember the speed, and later bring amplifier and port back to it.
class SaveRS232SpeedState : public CState {
 public:
  SaveRS232SpeedState(CStateMachine& machine, CState* next) : CState(machine, "SaveRS232SpeedState", next) {}
  void Execute() override;
};

class RestoreRS232SpeedState : public CState {
 public:
  RestoreRS232SpeedState(CStateMachine& machine, CState* next)
      : CState(machine, "RestoreRS232SpeedState", next) {}
  void Execute() override;
};

}  // namespace tola
