#pragma once
// Writes what a configuration file held back into the amplifier's EEPROMs, only within the
// restorable ranges (never the identity bytes below MEM2 bank 0 address 0x20, never the fault
// ring), then restarts the amplifier's processor and brings amplifier and port back to the speed
// they used before.

#include <array>
#include <cstdint>
#include <vector>

#include "dialogue/CStateMachine.h"
#include "dialogue/SpeedStates.h"
#include "formats/ConfigurationFile.h"
#include "operations/EepromStates.h"
#include "operations/LoopStates.h"

namespace tola {

inline constexpr std::uint32_t kResetWaitMs = 3000;

// Consecutive MEM2 bytes of one bank, data indexed by address.
struct Mem2Run {
  std::uint32_t bank = 0;
  std::uint8_t first = 0;
  std::uint8_t last = 0;
  std::array<std::uint8_t, 256> data{};

  std::uint32_t Count() const { return std::uint32_t{last} - first + 1U; }
};

// One MEM3 line of the file, at most one block.
struct Mem3Run {
  std::uint32_t address = 0;
  std::uint32_t count = 0;
  std::array<std::uint8_t, kEepromBlockSize> data{};
};

// "^RS;", the line "Waiting 3 seconds for reset to complete", then 3000 ms of deafness.
class ResetMcuState : public CommandState {
 public:
  ResetMcuState(CStateMachine& machine, CState* next)
      : CommandState(machine, "ResetMcuState", next, kResetWaitMs, "^RS;") {}
  void Execute() override;
};

class ConfigRestoreMachine : public CStateMachine, public ConfigurationSink {
 public:
  explicit ConfigRestoreMachine(AppState& app);

  // The file reader hands over its memories; what lies outside the restorable ranges is dropped.
  void AddMem2Byte(std::uint32_t bank, std::uint8_t address, std::uint8_t value) override;
  void AddMem3Block(std::uint16_t address, unsigned count, const std::uint8_t* data) override;
  // Progress 0 of the bytes to write, then the speed search; false when already running.
  bool Start();

  const std::vector<Mem2Run>& Mem2Runs() const { return m_mem2Runs; }
  const std::vector<Mem3Run>& Mem3Runs() const { return m_mem3Runs; }
  // Bytes the runs hold: the progress range.
  std::uint32_t BytesToWrite() const;

  void Complete() override { NotifyCompletion(); }

 private:
  std::vector<Mem2Run> m_mem2Runs;
  std::vector<Mem3Run> m_mem3Runs;
  std::int32_t m_loop = 0;

  // In the order of the conversation.
  DetermineSpeedState m_determineSpeed;
  InitializeLoopState m_initialize;
  TestLoopState m_test;
  EepromWriteState m_mem2Body;
  IncrementLoopState m_increment;
  InitializeLoopState m_initialize2;
  TestLoopState m_test2;
  EepromWriteState m_mem3Body;
  IncrementLoopState m_increment2;
  DelayState m_delayFinish;
  SaveRS232SpeedState m_saveSpeed;
  ResetMcuState m_reset;
  DetermineSpeedState m_determineSpeedAfterReset;
  RestoreRS232SpeedState m_restoreSpeed;
};

}  // namespace tola
