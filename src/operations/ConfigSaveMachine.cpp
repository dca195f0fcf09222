#include "operations/ConfigSaveMachine.h"

namespace tola {

namespace {
constexpr const char kBodyName[] = "ConfigSaveLoopBodyState";
}

ConfigSaveMachine::ConfigSaveMachine(AppState& app)
    : CStateMachine(app, kTimerConfigSave),
      m_determineSpeed(*this, &m_initialize),
      m_initialize(*this, "InitializeLoopVariableState", &m_test, m_loop),
      m_test(*this, "TestLoopConditionState", &m_mem2Body, &m_initialize2,
             [this] { return m_loop < static_cast<std::int32_t>(kEepromBankCount); }),
      m_mem2Body(*this, kBodyName, &m_increment, EepromMemory::Mem2),
      m_increment(*this, "IncrementLoopVariableState", &m_test, m_loop),
      m_initialize2(*this, "InitializeLoop2VariableState", &m_test2, m_loop),
      m_test2(*this, "TestLoop2ConditionState", &m_mem3Body, &m_delayFinish,
              [this] { return static_cast<std::uint32_t>(m_loop) < std::uint32_t{kMem3PageCount}; }),
      m_mem3Body(*this, kBodyName, &m_increment2, EepromMemory::Mem3),
      m_increment2(*this, "IncrementLoop2VariableState", &m_test2, m_loop),
      m_delayFinish(*this, "DelayFinishProgressState", &Final(), kFinishProgressDelayMs) {
  // Bank `loop` as the saved ranges give it, into the MEM2 image at its place.
  m_mem2Body.SetRunProvider([this] {
    const EepromRange& range = kSavedRanges.at(static_cast<std::size_t>(m_loop));
    return EepromRun{range.bank, range.first, std::uint32_t{range.last} - range.first + 1U,
                     m_mem2.data() + 256U * range.bank + range.first};
  });
  // Page `loop`, all 256 bytes.
  m_mem3Body.SetRunProvider([this] {
    const auto page = static_cast<std::uint32_t>(m_loop);
    return EepromRun{page, 0, 256, m_mem3.data() + 256U * page};
  });
}

bool ConfigSaveMachine::Start() {
  if (!IsIdle()) return false;
  m_owner.progressPosition.Change(0);
  m_owner.progressRange.Change(kConfigSaveProgressRange);
  return StartIfIdle(m_determineSpeed);
}

std::span<const std::uint8_t> ConfigSaveMachine::Mem2Bytes(std::uint32_t bank, std::uint8_t start) const {
  if (bank >= kEepromBankCount) return {};
  return std::span<const std::uint8_t>(m_mem2).subspan(256U * bank + start, 256U - start);
}

}  // namespace tola
