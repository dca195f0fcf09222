#include "operations/LoopStates.h"

namespace tola {

void GoToState(CStateMachine& machine, CState& target) {
  machine.SetCurrent(&target);
  target.Enter();
  machine.Current()->Execute();
}

void InitializeLoopState::Execute() {
  m_variable = m_value;
  GoToNext();
}

void IncrementLoopState::Execute() {
  ++m_variable;
  GoToNext();
}

void TestLoopState::Execute() {
  if (m_condition()) {
    GoToNext();
  } else if (m_exit != nullptr) {
    GoToState(m_machine, *m_exit);
  }
}

void DelayState::Execute() { m_machine.Wait(m_delayMs); }

}  // namespace tola
