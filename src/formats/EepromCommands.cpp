#include "formats/EepromCommands.h"

#include <algorithm>

#include "platform/ResultCode.h"
#include "platform/Text.h"

namespace tola {

const EepromRangeTable kReadableRanges{{
    {0, 0x00, 0xFF, "Bank 0"},
    {1, 0x00, 0xFF, "Bank 1"},
    {2, 0x00, 0xFF, "Bank 2"},
    {3, 0x00, 0xFF, "Bank 3"},
}};

const EepromRangeTable kWritableRanges{{
    {0, 0x00, 0xFF, "Bank 0"},
    {1, 0x00, 0xFF, "Bank 1"},
    {2, 0x00, 0xFF, "Bank 2"},
    {3, 0x00, 0xFF, "Bank 3"},
}};

const EepromRangeTable kRestorableRanges{{
    {0, 0x20, 0xFF, "Bank 0"},
    {1, 0x00, 0xFF, "Bank 1"},
    {2, 0x00, 0xFF, "Bank 2"},
    {3, 0x00, 0xFF, "Bank 3"},
}};

const EepromRangeTable kSavedRanges{{
    {0, 0x00, 0xFF, "Bank 0"},
    {1, 0x00, 0xFF, "Bank 1"},
    {2, 0x00, 0xFF, "Bank 2"},
    {3, 0x00, 0xFF, "Bank 3"},
}};

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParsePairAt(std::string_view text, std::size_t pos, std::uint8_t& value) {
  return pos + 1 < text.size() && ParseHexByte(text[pos], text[pos + 1], value);
}

// Bank, address and count of a command or response (characters 4 to 9).
bool ParseHead(std::string_view text, std::uint8_t& bank, std::uint8_t& address, std::uint8_t& count) {
  return ParsePairAt(text, 4, bank) && ParsePairAt(text, 6, address) && ParsePairAt(text, 8, count);
}

constexpr std::size_t kHeadLength = 10;  // prefix, bank, address, count

void AppendHexByte(std::string& text, std::uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  text += kDigits[b >> 4];
  text += kDigits[b & 0x0F];
}

}  // namespace

bool InRanges(const EepromRangeTable& table, std::uint32_t bank, std::uint32_t address) {
  return std::any_of(table.begin(), table.end(), [&](const EepromRange& r) {
    return r.bank == bank && r.first <= address && address <= r.last;
  });
}

bool IsRestorableMem3Block(std::uint32_t address, std::uint32_t count) {
  if (count == 0 || count > kEepromBlockSize) return false;
  const std::uint32_t last = address + count - 1;
  return address >= kRestorableMem3Range.first && last <= kRestorableMem3Range.last;
}

bool ParseHexByte(char high, char low, std::uint8_t& value) {
  const int h = HexDigitValue(high);
  const int l = HexDigitValue(low);
  if (h < 0 || l < 0) {
    SetLastError(kUnexpectedHexCharacter);
    return false;
  }
  value = static_cast<std::uint8_t>(h * 16 + l);
  return true;
}

std::uint8_t EepromChecksum(std::uint8_t bank, std::uint8_t address, std::uint8_t count,
                            std::span<const std::uint8_t> data) {
  unsigned sum = static_cast<unsigned>(bank) + address + count;
  for (const std::uint8_t b : data) sum += b;
  return static_cast<std::uint8_t>(0x100U - (sum & 0xFFU));
}

std::string FormatReadCommand(std::string_view prefix, std::uint8_t bank, std::uint8_t address,
                              std::uint8_t count) {
  std::string command(prefix);
  for (const std::uint8_t b : {bank, address, count, EepromChecksum(bank, address, count)}) {
    AppendHexByte(command, b);
  }
  command += ';';
  return command;
}

std::string FormatWriteCommand(std::string_view prefix, std::uint8_t bank, std::uint8_t address,
                               std::uint8_t count, const std::uint8_t* data) {
  const std::span<const std::uint8_t> bytes(data, data == nullptr ? 0 : count);
  std::string command(prefix);
  command.reserve(prefix.size() + 9 + 2U * count);
  for (const std::uint8_t b : {bank, address, count}) AppendHexByte(command, b);
  for (const std::uint8_t b : bytes) AppendHexByte(command, b);
  AppendHexByte(command, EepromChecksum(bank, address, count, bytes));
  command += ';';
  return command;
}

bool CheckReadResponse(std::string_view command, std::string_view response, unsigned countRequested,
                       std::uint8_t* destination) {
  if (command.size() != kEepromCommandLength || response.size() < kEepromCommandLength) return false;
  if (!EqualNoCase(response.substr(0, kHeadLength), command.substr(0, kHeadLength))) return false;
  std::uint8_t bank = 0, address = 0, count = 0;
  if (!ParseHead(response, bank, address, count)) return false;
  if (response.size() != kEepromCommandLength + 2U * count || count > countRequested) return false;

  std::array<std::uint8_t, 255> data{};
  unsigned sum = static_cast<unsigned>(bank) + address + count;
  for (unsigned i = 0; i < count; ++i) {
    if (!ParsePairAt(response, kHeadLength + 2U * i, data[i])) return false;
    sum += data[i];
  }
  std::uint8_t checksum = 0;
  if (!ParsePairAt(response, kHeadLength + 2U * count, checksum)) return false;
  if (((sum + checksum) & 0xFFU) != 0) return false;
  if (count > 0) std::copy_n(data.begin(), count, destination);
  return true;
}

bool CheckWriteResponse(std::string_view response, std::string_view command) {
  if (response.size() != kEepromCommandLength || command.size() < kHeadLength) return false;
  if (!EqualNoCase(response.substr(0, kHeadLength), command.substr(0, kHeadLength))) return false;
  std::uint8_t bank = 0, address = 0, count = 0, checksum = 0;
  if (!ParseHead(response, bank, address, count) || !ParsePairAt(response, kHeadLength, checksum)) {
    return false;
  }
  return ((static_cast<unsigned>(bank) + address + count + checksum) & 0xFFU) == 0;
}

}  // namespace tola
