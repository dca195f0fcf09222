#pragma once
// A firmware file (Intel HEX text) turned into the byte image of the amplifier's program window
// 0x800..0x1FD7F, every byte the file does not supply left at 0xFF. The first two bytes of the
// window hold a big-endian word that makes the 16-bit word sum of the whole window zero.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ResultCode.h"

namespace tola {

class FirmwareImage {
 public:
  static constexpr std::uint32_t kWindowStart = 0x800;
  static constexpr std::uint32_t kWindowEnd = 0x1FD80;  // exclusive
  static constexpr std::size_t kWindowSize = kWindowEnd - kWindowStart;  // 1003 blocks of 128
  static constexpr std::size_t kBlockSize = 128;

  // Reads `path` into the window. On false the thread's last error holds the cause: one of the
  // Intel HEX codes, or the system error of opening or mapping the file (line number 0 then).
  bool Load(const std::string& path);
  // As Load, from text already in memory; the file name is left empty.
  bool LoadText(std::string_view text);

  // Validates `path` without building an image: StartAddress and EndAddress then give the lowest
  // and one past the highest address any data record supplies.
  bool Scan(const std::string& path);
  bool ScanText(std::string_view text);

  // Checks the window's word sum, or fills in a missing reconciliation word: 0, 0xE2000041 (word
  // present, sum not zero) or 0xA2000047 (word zero and sum already zero).
  ResultCode Reconcile();

  // Bytes from the window start through the last byte that is not 0xFF; at least 1. 0 when nothing
  // is loaded.
  std::size_t DataLength();

  // Releases the buffer and clears the flags and the file name.
  void Reset();

  std::uint32_t StartAddress() const { return m_startAddress; }
  std::uint32_t EndAddress() const { return m_endAddress; }
  bool IsLoaded() const { return m_loaded; }
  const std::string& FileName() const { return m_fileName; }
  // The line on which the reader stopped (on success, the line of the end-of-file record).
  std::uint32_t LineNumber() const { return m_lineNumber; }
  // The window's bytes; byte N holds address 0x800 + N. Empty after Scan.
  std::span<const std::uint8_t> Data() const { return m_buffer; }
  std::uint16_t ReconciliationWord() const;

 private:
  bool Fill(std::string_view text);

  std::uint32_t m_endAddress = 0;
  std::uint32_t m_startAddress = 0;
  bool m_loaded = false;
  std::optional<std::size_t> m_dataLength;  // computed once per Load
  std::vector<std::uint8_t> m_buffer;
  std::string m_fileName;
  std::uint32_t m_lineNumber = 0;
};

// Everything that can be known about a firmware file before the amplifier is touched: it opens,
// reads, parses and reconciles. 0 or the failure's code; `line` is the line the reader stopped on
// (0 when the file could not be opened).
ResultCode CheckFirmwareFile(const std::string& path, std::uint32_t& line);
// The report of such a failure: "Line %u, error code 0x%08X: %s".
std::string FirmwareFileFault(std::uint32_t line, ResultCode code);

// What `tola hex-check` prints for a firmware file: the records' address range, the data length in
// the window and the reconciliation result, or the line and code of the first fault. `result` is 0
// for a file that can be sent.
std::string DescribeFirmwareFile(const std::string& path, ResultCode& result);

}  // namespace tola
