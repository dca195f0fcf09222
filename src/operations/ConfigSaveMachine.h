#pragma once
// Reads both EEPROMs of the amplifier whole (MEM2 bank by bank, MEM3 page by page) for the
// configuration file; the file itself is written by the save flow once the machine has succeeded.

#include <array>
#include <cstdint>
#include <span>

#include "dialogue/CStateMachine.h"
#include "dialogue/SpeedStates.h"
#include "formats/EepromCommands.h"
#include "operations/EepromStates.h"
#include "operations/LoopStates.h"

namespace tola {

inline constexpr std::uint32_t kConfigSaveProgressRange = kMem2Size + kMem3Size;  // 17408
inline constexpr std::int32_t kMem3PageCount = 0x40;

class ConfigSaveMachine : public CStateMachine {
 public:
  explicit ConfigSaveMachine(AppState& app);

  // Progress 0 of 17408, then the speed search; false when already running.
  bool Start();
  // The MEM2 bytes of `bank` from `start` on, and the MEM3 image, for the file writer.
  std::span<const std::uint8_t> Mem2Bytes(std::uint32_t bank, std::uint8_t start) const;
  std::span<const std::uint8_t, kMem2Size> Mem2Image() const { return m_mem2; }
  std::span<const std::uint8_t, kMem3Size> Mem3Image() const { return m_mem3; }

  void Complete() override { NotifyCompletion(); }

 private:
  std::array<std::uint8_t, kMem2Size> m_mem2{};
  std::array<std::uint8_t, kMem3Size> m_mem3{};
  std::int32_t m_loop = 0;

  // In the order of the conversation.
  DetermineSpeedState m_determineSpeed;
  InitializeLoopState m_initialize;
  TestLoopState m_test;
  EepromReadState m_mem2Body;
  IncrementLoopState m_increment;
  InitializeLoopState m_initialize2;
  TestLoopState m_test2;
  EepromReadState m_mem3Body;
  IncrementLoopState m_increment2;
  DelayState m_delayFinish;
};

}  // namespace tola
