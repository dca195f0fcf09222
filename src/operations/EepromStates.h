#pragma once
// The two block-transfer states the configuration save, restore and fault table are built from: a
// run of bytes in one MEM2 bank or MEM3 page moved in blocks of at most 64 bytes, one "^ERP"/"^ERS"
// or "^EWP"/"^EWS" command per block, each answered before the next is sent.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dialogue/CStateMachine.h"
#include "formats/EepromCommands.h"

namespace tola {

enum class EepromMemory { Mem2, Mem3 };

inline constexpr std::uint32_t kEepromResponseTimeoutMs = 2000;

// What one state moves: `count` bytes from `start` within `bank` (a MEM3 page for MEM3), to or
// from `buffer`.
struct EepromRun {
  std::uint32_t bank = 0;
  std::uint8_t start = 0;
  std::uint32_t count = 0;
  std::uint8_t* buffer = nullptr;
};

// Common ground of both kinds. The retry count covers the whole run: only Enter clears it, so ten
// time-outs anywhere in a run end the operation.
class EepromBlockState : public QueryState {
 public:
  using RunProvider = std::function<EepromRun()>;

  // The run is fixed with SetRun, or asked from `provider` each time the state becomes current.
  void SetRun(const EepromRun& run) { m_run = run; }
  void SetRunProvider(RunProvider provider) { m_provider = std::move(provider); }

  void Enter() override;
  void Execute() override;
  void OnTimeout() override;
  bool Accept(const std::string& response) override;
  void OnAccepted(const std::string& response) override;

  EepromMemory Memory() const { return m_memory; }
  const EepromRun& Run() const { return m_run; }
  std::uint32_t Retries() const { return m_retries; }
  std::uint32_t Offset() const { return m_offset; }

 protected:
  EepromBlockState(CStateMachine& machine, std::string name, CState* next, EepromMemory memory,
                   ResultCode failureCode)
      : QueryState(machine, std::move(name), next, kEepromResponseTimeoutMs, {}, failureCode),
        m_memory(memory) {}

  // The command for the block at the present offset.
  virtual std::string BlockCommand(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                                   const std::uint8_t* data) const = 0;
  // Checks the response to a block of `count` bytes and, for a read, stores them at `destination`.
  virtual bool CheckBlockResponse(const std::string& response, std::uint32_t count,
                                  std::uint8_t* destination) const = 0;
  // The MEM2 ranges a block must lie in.
  virtual const EepromRangeTable& AllowedRanges() const = 0;

 private:
  void NextBlock();

  EepromMemory m_memory;
  RunProvider m_provider;
  EepromRun m_run;
  std::uint32_t m_offset = 0;
  std::uint32_t m_blockCount = 0;
  std::uint32_t m_retries = 0;
};

// Reads a run into its buffer ("^ERP" for MEM2, "^ERS" for MEM3); 0xE20004B6 after ten time-outs.
class EepromReadState : public EepromBlockState {
 public:
  EepromReadState(CStateMachine& machine, std::string name, CState* next, EepromMemory memory)
      : EepromBlockState(machine, std::move(name), next, memory, kNoResponseReadEeprom) {}

 protected:
  std::string BlockCommand(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                           const std::uint8_t* data) const override;
  bool CheckBlockResponse(const std::string& response, std::uint32_t count,
                          std::uint8_t* destination) const override;
  const EepromRangeTable& AllowedRanges() const override { return kReadableRanges; }
};

// Writes a run from its buffer ("^EWP" for MEM2, "^EWS" for MEM3); 0xE20004B7 after ten time-outs.
class EepromWriteState : public EepromBlockState {
 public:
  EepromWriteState(CStateMachine& machine, std::string name, CState* next, EepromMemory memory)
      : EepromBlockState(machine, std::move(name), next, memory, kNoResponseWriteEeprom) {}

 protected:
  std::string BlockCommand(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                           const std::uint8_t* data) const override;
  bool CheckBlockResponse(const std::string& response, std::uint32_t count,
                          std::uint8_t* destination) const override;
  const EepromRangeTable& AllowedRanges() const override { return kWritableRanges; }
};

}  // namespace tola
