// The EEPROM response checks over arbitrary answers. The first four bytes choose the memory,
// bank, address and count of the command that was "sent"; the rest is the response. A response
// that is accepted must have the exact length and a zero checksum, and must write no more than
// the room the caller gave.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/EepromCommands.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const bool mem3 = (data[0] & 1) != 0;
  const std::uint8_t bank = data[1];
  const std::uint8_t address = data[2];
  const std::uint8_t count = data[3];
  const std::string_view response(reinterpret_cast<const char*>(data + 4), size - 4);

  const std::string read = tola::FormatReadCommand(mem3 ? tola::kReadMem3Prefix : tola::kReadMem2Prefix, bank,
                                                   address, count);
  // Exactly `count` bytes of room: a write past it is an overflow the sanitizer sees.
  const std::unique_ptr<std::uint8_t[]> room(new std::uint8_t[count]);
  if (tola::CheckReadResponse(read, response, count, room.get())) {
    Require(response.size() >= 13 && (response.size() - 13) % 2 == 0);
    Require((response.size() - 13) / 2 <= count);
  }

  const std::array<std::uint8_t, 255> zeros{};
  const std::string write = tola::FormatWriteCommand(mem3 ? tola::kWriteMem3Prefix : tola::kWriteMem2Prefix, bank,
                                                     address, count, zeros.data());
  if (tola::CheckWriteResponse(response, write)) {
    Require(response.size() == 13);
    std::uint8_t b = 0, a = 0, c = 0, s = 0;
    Require(tola::ParseHexByte(response[4], response[5], b) && tola::ParseHexByte(response[6], response[7], a) &&
            tola::ParseHexByte(response[8], response[9], c) && tola::ParseHexByte(response[10], response[11], s));
    Require(b == bank && a == address && c == count);
    Require(((b + a + c + s) & 0xFF) == 0);
  }

  // The response text also as a command of its own: the checks must not trust its length.
  std::array<std::uint8_t, 255> big{};
  tola::CheckReadResponse(response.substr(0, 13), response.size() > 13 ? response.substr(13) : std::string_view(),
                          255, big.data());
  tola::CheckWriteResponse(response, response.substr(0, response.size() / 2));
  return 0;
}
