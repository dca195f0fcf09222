#pragma once
// Small states that walk a machine through its loops without talking to the amplifier, and the
// pause before a machine finishes.

#include <cstdint>
#include <functional>
#include <string>

#include "dialogue/CStateMachine.h"

namespace tola {

// The pause with a full progress bar before an EEPROM operation ends.
inline constexpr std::uint32_t kFinishProgressDelayMs = 700;

// Makes `target` current, as GoToNext does for the default successor.
void GoToState(CStateMachine& machine, CState& target);

// variable := value, then on.
class InitializeLoopState : public CState {
 public:
  InitializeLoopState(CStateMachine& machine, std::string name, CState* next, std::int32_t& variable,
                      std::int32_t value = 0)
      : CState(machine, std::move(name), next), m_variable(variable), m_value(value) {}
  void Execute() override;

 private:
  std::int32_t& m_variable;
  std::int32_t m_value;
};

// variable += 1, then on.
class IncrementLoopState : public CState {
 public:
  IncrementLoopState(CStateMachine& machine, std::string name, CState* next, std::int32_t& variable)
      : CState(machine, std::move(name), next), m_variable(variable) {}
  void Execute() override;

 private:
  std::int32_t& m_variable;
};

// While `condition` holds the loop body runs (the default successor); otherwise `exit` follows.
class TestLoopState : public CState {
 public:
  TestLoopState(CStateMachine& machine, std::string name, CState* body, CState* exit,
                std::function<bool()> condition)
      : CState(machine, std::move(name), body), m_exit(exit), m_condition(std::move(condition)) {}
  void Execute() override;
  void SetExit(CState* exit) { m_exit = exit; }

 private:
  CState* m_exit;
  std::function<bool()> m_condition;
};

// Arms the machine's timer and goes on when it expires; whatever arrives meanwhile is ignored.
class DelayState : public CState {
 public:
  DelayState(CStateMachine& machine, std::string name, CState* next, std::uint32_t delayMs)
      : CState(machine, std::move(name), next), m_delayMs(delayMs) {}
  void Execute() override;
  void OnTimeout() override { GoToNext(); }

 private:
  std::uint32_t m_delayMs;
};

}  // namespace tola
