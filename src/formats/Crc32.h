#pragma once
// The CRC-32 that protects configuration files: the reflected CRC with polynomial 0x04C11DB7, as in
// zlib and Ethernet. The state always holds a finished CRC, so texts can be fed one after another.

#include <cstdint>
#include <string_view>

namespace tola {

// Continues `state` (0 to begin) over the bytes of `text` and returns the new finished CRC.
std::uint32_t Crc32Update(std::uint32_t state, std::string_view text);

}  // namespace tola
