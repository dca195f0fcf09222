#pragma once
// Reads the amplifier's fault ring: the index of the newest record from MEM2 bank 0 address 0x1F,
// then the eight MEM3 pages 0x38 to 0x3F.

#include <array>
#include <cstdint>
#include <span>

#include "dialogue/CStateMachine.h"
#include "dialogue/SpeedStates.h"
#include "formats/FaultRecords.h"
#include "operations/EepromStates.h"
#include "operations/LoopStates.h"

namespace tola {

inline constexpr std::int32_t kFaultRingPages = 8;
// The index byte and the ring.
inline constexpr std::uint32_t kFaultTableProgressRange = 1 + kFaultRingSize;

class FaultTableMachine : public CStateMachine {
 public:
  explicit FaultTableMachine(AppState& app);

  std::span<const std::uint8_t, kFaultRingSize> Ring() const { return m_ring; }
  std::uint8_t Index() const { return m_index; }
  // Progress 0 of 2049, then the speed search; false when already running.
  bool Start();

  void Complete() override { NotifyCompletion(); }

 private:
  std::uint8_t m_index = 0;
  std::int32_t m_loop = 0;
  std::array<std::uint8_t, kFaultRingSize> m_ring{};

  // In the order of the conversation.
  DetermineSpeedState m_determineSpeed;
  EepromReadState m_queryIndex;
  InitializeLoopState m_initialize;
  TestLoopState m_test;
  EepromReadState m_body;
  IncrementLoopState m_increment;
};

}  // namespace tola
