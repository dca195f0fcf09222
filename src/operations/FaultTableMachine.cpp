#include "operations/FaultTableMachine.h"

namespace tola {

FaultTableMachine::FaultTableMachine(AppState& app)
    : CStateMachine(app, kTimerFaultTable),
      m_determineSpeed(*this, &m_queryIndex),
      m_queryIndex(*this, "QueryFaultTableIndexState", &m_initialize, EepromMemory::Mem2),
      m_initialize(*this, "InitializeLoopVariableState", &m_test, m_loop),
      m_test(*this, "TestLoopConditionState", &m_body, &Final(), [this] { return m_loop < kFaultRingPages; }),
      m_body(*this, "FaultTableLoopBodyState", &m_increment, EepromMemory::Mem3),
      m_increment(*this, "IncrementLoopVariableState", &m_test, m_loop) {
  m_queryIndex.SetRun(EepromRun{kFaultIndexBank, kFaultIndexAddress, 1, &m_index});
  m_body.SetRunProvider([this] {
    const auto i = static_cast<std::uint32_t>(m_loop);
    return EepromRun{(kFaultRingAddress >> 8) + i, 0, 256, m_ring.data() + 256U * i};
  });
}

bool FaultTableMachine::Start() {
  if (!IsIdle()) return false;
  m_owner.progressPosition.Change(0);
  m_owner.progressRange.Change(kFaultTableProgressRange);
  return StartIfIdle(m_determineSpeed);
}

}  // namespace tola
