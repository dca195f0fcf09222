#pragma once
// The amplifier's two EEPROMs as the utility sees them (MEM2: 4 banks of 256 bytes; MEM3: 64 pages of
// 256 bytes), the address ranges each operation may touch, and the text of the read and write
// commands ("^ERP", "^EWP" for MEM2, "^ERS", "^EWS" for MEM3) with their responses.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tola {

inline constexpr std::size_t kMem2Size = 1024;    // bank b at offset 256 * b
inline constexpr std::size_t kMem3Size = 16384;   // address a at offset a
inline constexpr std::size_t kEepromBlockSize = 64;  // most bytes one command moves
inline constexpr unsigned kEepromBankCount = 4;
inline constexpr std::uint8_t kFaultIndexBank = 0;
inline constexpr std::uint8_t kFaultIndexAddress = 0x1F;

inline constexpr std::string_view kReadMem2Prefix = "^ERP";
inline constexpr std::string_view kReadMem3Prefix = "^ERS";
inline constexpr std::string_view kWriteMem2Prefix = "^EWP";
inline constexpr std::string_view kWriteMem3Prefix = "^EWS";

// Length of a read command, and of a response without data: prefix, bank, address, count, checksum, ';'.
inline constexpr std::size_t kEepromCommandLength = 13;

struct EepromRange {
  std::uint32_t bank;
  std::uint8_t first;
  std::uint8_t last;
  const char* label;
};

using EepromRangeTable = std::array<EepromRange, kEepromBankCount>;

extern const EepromRangeTable kReadableRanges;    // checked before every "^ERP"
extern const EepromRangeTable kWritableRanges;    // checked before every "^EWP"
extern const EepromRangeTable kRestorableRanges;  // MEM2 bytes a restore accepts (not bank 0 below 0x20)
extern const EepromRangeTable kSavedRanges;       // what a save reads and writes as MEM2 lines

struct Mem3Range {
  std::uint16_t first;
  std::uint16_t last;
};
// MEM3 a restore may write; the fault ring above it is never restored.
inline constexpr Mem3Range kRestorableMem3Range{0x0000, 0x37FF};

bool InRanges(const EepromRangeTable& table, std::uint32_t bank, std::uint32_t address);
// A MEM3 block a restore accepts: both ends inside the restorable range and at most one block long.
bool IsRestorableMem3Block(std::uint32_t address, std::uint32_t count);

// Two hex digits (either case) to a byte, high digit first. On failure `value` is unchanged and the
// thread's last error is 0xE200000B.
bool ParseHexByte(char high, char low, std::uint8_t& value);

// The 8-bit checksum that makes bank + address + count + data + checksum sum to zero.
std::uint8_t EepromChecksum(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                            std::span<const std::uint8_t> data = {});

// "^ERP0140407F;": prefix, bank, address, count, checksum, ';'.
std::string FormatReadCommand(std::string_view prefix, std::uint8_t bank, std::uint8_t address,
                              std::uint8_t count);
// "^EWP00200201AB32;": prefix, bank, address, count, `count` data bytes, checksum, ';'.
std::string FormatWriteCommand(std::string_view prefix, std::uint8_t bank, std::uint8_t address,
                               std::uint8_t count, const std::uint8_t* data);

// Accepts the answer to a read command and stores its data bytes at `destination` (at most
// `countRequested` of them). A response that fails any check leaves `destination` untouched.
bool CheckReadResponse(std::string_view command, std::string_view response, unsigned countRequested,
                       std::uint8_t* destination);
// Accepts the answer to a write command: the echo of its head with a checksum over bank, address
// and count.
bool CheckWriteResponse(std::string_view response, std::string_view command);

}  // namespace tola
