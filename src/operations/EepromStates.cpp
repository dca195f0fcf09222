#include "operations/EepromStates.h"

#include <algorithm>

namespace tola {

void EepromBlockState::Enter() {
  m_retries = 0;
  if (m_provider) m_run = m_provider();
  QueryState::Enter();
}

void EepromBlockState::Execute() {
  m_offset = 0;
  // A MEM2 run must fit its bank as a whole: block addresses are taken modulo 256, so a longer run
  // would otherwise pass the per-block check and fold back onto the start of the bank.
  if (m_memory == EepromMemory::Mem2 && m_run.count > 0 && m_run.start + m_run.count - 1 > 255) {
    Fail(kInvalidEepromAddress);
    return;
  }
  NextBlock();
}

void EepromBlockState::NextBlock() {
  if (m_offset >= m_run.count) {
    Proceed();
    return;
  }
  const std::uint32_t address = (m_run.start + m_offset) % 256;
  m_blockCount = std::min<std::uint32_t>(m_run.count - m_offset, kEepromBlockSize);
  if (m_memory == EepromMemory::Mem2) {
    // A MEM2 block may neither leave its bank nor its table row; MEM3 pages are not checked.
    const std::uint32_t last = address + m_blockCount - 1;
    if (last > 255 || !InRanges(AllowedRanges(), m_run.bank, address) ||
        !InRanges(AllowedRanges(), m_run.bank, last)) {
      Fail(kInvalidEepromAddress);
      return;
    }
  }
  SetCommand(BlockCommand(static_cast<std::uint8_t>(m_run.bank), static_cast<std::uint8_t>(address),
                          static_cast<std::uint8_t>(m_blockCount),
                          m_run.buffer == nullptr ? nullptr : m_run.buffer + m_offset));
  Send();
}

void EepromBlockState::OnTimeout() { RetryOrFail(m_retries); }

bool EepromBlockState::Accept(const std::string& response) {
  return CheckBlockResponse(response, m_blockCount, m_run.buffer == nullptr ? nullptr : m_run.buffer + m_offset);
}

void EepromBlockState::OnAccepted(const std::string& /*response*/) {
  AppState& app = m_machine.Owner();
  app.progressPosition.Change(app.progressPosition.Get() + m_blockCount);
  m_offset += m_blockCount;
  NextBlock();
}

std::string EepromReadState::BlockCommand(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                                          const std::uint8_t* /*data*/) const {
  return FormatReadCommand(Memory() == EepromMemory::Mem2 ? kReadMem2Prefix : kReadMem3Prefix, bank, address,
                           count);
}

bool EepromReadState::CheckBlockResponse(const std::string& response, std::uint32_t count,
                                         std::uint8_t* destination) const {
  // Without a buffer a good answer is still an answer; its bytes go nowhere.
  std::uint8_t scratch[kEepromBlockSize];
  return CheckReadResponse(Command(), response, count, destination == nullptr ? scratch : destination);
}

std::string EepromWriteState::BlockCommand(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                                           const std::uint8_t* data) const {
  return FormatWriteCommand(Memory() == EepromMemory::Mem2 ? kWriteMem2Prefix : kWriteMem3Prefix, bank,
                            address, count, data);
}

bool EepromWriteState::CheckBlockResponse(const std::string& response, std::uint32_t /*count*/,
                                          std::uint8_t* /*destination*/) const {
  return CheckWriteResponse(response, Command());
}

}  // namespace tola
