#pragma once
// The amplifier's fault ring: 256 records of 8 bytes at MEM3 0x3800, the slot of the newest record
// at MEM2 bank 0 address 0x1F. Each record becomes one row of the fault table.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tola {

inline constexpr std::size_t kFaultRecordSize = 8;
inline constexpr std::size_t kFaultRingSlots = 256;
inline constexpr std::size_t kFaultRingSize = kFaultRecordSize * kFaultRingSlots;  // 2048
inline constexpr std::uint16_t kFaultRingAddress = 0x3800;
inline constexpr std::uint8_t kEmptyFaultCode = 0xFF;

struct FaultRecord {
  std::uint8_t code = kEmptyFaultCode;  // an ASCII letter; 0xFF marks an empty slot
  std::uint32_t time = 0;               // seconds, 24 bits
  std::uint16_t frequency = 0;
  std::uint16_t variable = 0;  // a measurement whose meaning depends on the code

  // From the 8 bytes of a slot (little-endian fields).
  static FaultRecord FromBytes(std::span<const std::uint8_t, kFaultRecordSize> bytes);
};

// One row of the fault table, one text per column.
struct FaultRow {
  std::string index;
  std::string faultCode;
  std::string timestamp;
  std::string frequency;
  std::string variableData;

  bool operator==(const FaultRow&) const = default;
};

std::string FaultName(char code);
std::string FaultVariableText(const FaultRecord& record);
FaultRow FormatFaultRow(unsigned slot, const FaultRecord& record);
// Rows from the newest slot (the index) backwards through the ring, empty slots left out.
std::vector<FaultRow> ListFaultRing(std::uint8_t index, std::span<const std::uint8_t, kFaultRingSize> ring);

}  // namespace tola
