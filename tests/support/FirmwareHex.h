#pragma once
// Firmware images for tests: a window of bytes (address 0x800 + i) with a valid reconciliation
// word, written out as Intel HEX text the way a firmware file carries it.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/Format.h"

namespace tola::test {

inline constexpr std::uint32_t kWindowStart = 0x800;
inline constexpr std::size_t kWindowSize = 0x1FD80 - 0x800;

// The big-endian word sum of the whole window, as the firmware's loader checks it.
inline std::uint16_t WindowWordSum(std::span<const std::uint8_t> window) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < window.size(); i += 2) sum += (std::uint32_t{window[i]} << 8) | window[i + 1];
  return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

// `length` bytes of pseudo-random data from the window start (the last of them never 0xFF, so the
// data length is exactly `length`), 0xFF above, and a non-zero word at 0x800 that makes the word
// sum zero. `length` is at least 3.
inline std::vector<std::uint8_t> MakeFirmwareWindow(std::size_t length, std::uint32_t seed) {
  std::vector<std::uint8_t> window(kWindowSize, 0xFF);
  std::uint32_t state = seed * 2654435761u + 12345u;
  for (std::size_t i = 2; i < length; ++i) {
    state = state * 1103515245u + 12345u;
    window[i] = static_cast<std::uint8_t>(state >> 16);
  }
  if (window[length - 1] == 0xFF) window[length - 1] = 0x5A;
  for (;;) {
    window[0] = 0;
    window[1] = 0;
    const std::uint16_t word = static_cast<std::uint16_t>(0x10000u - WindowWordSum(window));
    if (word != 0) {
      window[0] = static_cast<std::uint8_t>(word >> 8);
      window[1] = static_cast<std::uint8_t>(word & 0xFF);
      return window;
    }
    window[2] = static_cast<std::uint8_t>(window[2] + 1);  // a zero word would mean "fill it in"
  }
}

// ":" count, offset, type, data, checksum, upper-case hex, no line end. `checksumAdjust` is added
// to the correct checksum to make a broken record.
inline std::string HexRecord(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data,
                             int checksumAdjust = 0) {
  auto sum = static_cast<unsigned>(data.size() + (offset >> 8) + (offset & 0xFFU) + type);
  std::string text = FormatText(":%02X%04X%02X", static_cast<unsigned>(data.size()), unsigned{offset}, unsigned{type});
  for (const auto b : data) {
    text += FormatText("%02X", unsigned{b});
    sum += b;
  }
  return text + FormatText("%02X", (0x100U - (sum & 0xFFU) + static_cast<unsigned>(checksumAdjust)) & 0xFFU);
}

inline std::string DataRecord(std::uint16_t offset, const std::vector<std::uint8_t>& data) {
  return HexRecord(0x00, offset, data);
}
inline std::string EofRecord() { return ":00000001FF"; }

// The window as Intel HEX: 16 bytes a record, records of nothing but 0xFF left out, an extended
// linear address record wherever the upper 16 address bits change, and the end-of-file record.
inline std::string WindowToIntelHex(const std::vector<std::uint8_t>& window) {
  std::string text;
  std::uint32_t upper = 0;
  for (std::size_t i = 0; i < window.size(); i += 16) {
    const std::size_t count = std::min<std::size_t>(16, window.size() - i);
    if (std::all_of(&window[i], &window[i] + count, [](std::uint8_t b) { return b == 0xFF; })) continue;
    const std::uint32_t address = kWindowStart + static_cast<std::uint32_t>(i);
    if ((address >> 16) != upper) {
      upper = address >> 16;
      text += HexRecord(0x04, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)}) + "\r\n";
    }
    text += DataRecord(static_cast<std::uint16_t>(address), {&window[i], &window[i] + count}) + "\r\n";
  }
  return text + EofRecord() + "\r\n";
}

}  // namespace tola::test
