#include "operations/ConfigRestoreMachine.h"

#include <algorithm>

#include "app/Format.h"

namespace tola {

namespace {
constexpr const char kBodyName[] = "ConfigRestoreLoopBodyState";
constexpr const char kWaitingForReset[] = "Waiting %u seconds for reset to complete";
}  // namespace

void ResetMcuState::Execute() {
  Send();
  if (m_machine.Current() != this) return;  // cancelled or failed: no reset was sent
  const std::string text = FormatText(kWaitingForReset, (m_timeoutMs + 500U) / 1000U);
  m_machine.Log(text);
  m_machine.Owner().LogLine(text);
}

ConfigRestoreMachine::ConfigRestoreMachine(AppState& app)
    : CStateMachine(app, kTimerConfigRestore),
      m_determineSpeed(*this, &m_initialize),
      m_initialize(*this, "InitializeLoopVariableState", &m_test, m_loop),
      m_test(*this, "TestLoopConditionState", &m_mem2Body, &m_initialize2,
             [this] { return m_loop < static_cast<std::int32_t>(m_mem2Runs.size()); }),
      m_mem2Body(*this, kBodyName, &m_increment, EepromMemory::Mem2),
      m_increment(*this, "IncrementLoopVariableState", &m_test, m_loop),
      m_initialize2(*this, "InitializeLoop2VariableState", &m_test2, m_loop),
      m_test2(*this, "TestLoop2ConditionState", &m_mem3Body, &m_delayFinish,
              [this] { return m_loop < static_cast<std::int32_t>(m_mem3Runs.size()); }),
      m_mem3Body(*this, kBodyName, &m_increment2, EepromMemory::Mem3),
      m_increment2(*this, "IncrementLoop2VariableState", &m_test2, m_loop),
      m_delayFinish(*this, "DelayFinishProgressState", &m_saveSpeed, kFinishProgressDelayMs),
      m_saveSpeed(*this, &m_reset),
      m_reset(*this, &m_determineSpeedAfterReset),
      m_determineSpeedAfterReset(*this, &m_restoreSpeed),
      m_restoreSpeed(*this, &Final()) {
  m_mem2Body.SetRunProvider([this] {
    Mem2Run& run = m_mem2Runs.at(static_cast<std::size_t>(m_loop));
    return EepromRun{run.bank, run.first, run.Count(), run.data.data() + run.first};
  });
  // The page is the high byte of the line's address, the start its low byte.
  m_mem3Body.SetRunProvider([this] {
    Mem3Run& run = m_mem3Runs.at(static_cast<std::size_t>(m_loop));
    return EepromRun{run.address >> 8, static_cast<std::uint8_t>(run.address & 0xFF), run.count,
                     run.data.data()};
  });
}

void ConfigRestoreMachine::AddMem2Byte(std::uint32_t bank, std::uint8_t address, std::uint8_t value) {
  if (!InRanges(kRestorableRanges, bank, address)) return;
  if (m_mem2Runs.empty() || m_mem2Runs.back().bank != bank || m_mem2Runs.back().last == 0xFF ||
      address != m_mem2Runs.back().last + 1) {
    Mem2Run run;
    run.bank = bank;
    run.first = address;
    run.data.fill(0xFF);
    m_mem2Runs.push_back(run);
  }
  Mem2Run& run = m_mem2Runs.back();
  run.data[address] = value;
  run.last = address;
}

void ConfigRestoreMachine::AddMem3Block(std::uint16_t address, unsigned count, const std::uint8_t* data) {
  if (!IsRestorableMem3Block(address, count) || data == nullptr) return;
  Mem3Run run;
  run.address = address;
  run.count = count;
  std::copy_n(data, count, run.data.begin());
  m_mem3Runs.push_back(run);
}

std::uint32_t ConfigRestoreMachine::BytesToWrite() const {
  std::uint32_t total = 0;
  for (const Mem2Run& run : m_mem2Runs) total += run.Count();
  for (const Mem3Run& run : m_mem3Runs) total += run.count;
  return total;
}

bool ConfigRestoreMachine::Start() {
  if (!IsIdle()) return false;
  m_owner.progressPosition.Change(0);
  m_owner.progressRange.Change(BytesToWrite());
  return StartIfIdle(m_determineSpeed);
}

}  // namespace tola
