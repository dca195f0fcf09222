#include "formats/Crc32.h"

#include <array>

namespace tola {

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x77073096U);

}  // namespace

std::uint32_t Crc32Update(std::uint32_t state, std::string_view text) {
  std::uint32_t reg = ~state;
  for (const char ch : text) {
    reg = (reg >> 8) ^ kTable[(reg ^ static_cast<unsigned char>(ch)) & 0xFFU];
  }
  return ~reg;
}

}  // namespace tola
