#include <gtest/gtest.h>

#include <zlib.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "app/Format.h"
#include "formats/Crc32.h"
#include "formats/EepromCommands.h"
#include "platform/ResultCode.h"

namespace tola {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (const auto b : bytes) text += FormatText("%02X", unsigned{b});
  return text;
}

// A read response as the amplifier sends it: the command's head, the data, a checksum over all.
std::string ReadResponse(const std::string& head, std::uint8_t bank, std::uint8_t address,
                         const std::vector<std::uint8_t>& data, int checksumAdjust = 0) {
  unsigned sum = bank + address + static_cast<unsigned>(data.size());
  for (const auto b : data) sum += b;
  const auto checksum = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU) + static_cast<unsigned>(checksumAdjust));
  return head + Hex(data) + Hex({checksum}) + ";";
}

TEST(EepromCommandsTest, CommandLengthsAndChecksums) {
  std::mt19937 rng(3);
  for (int i = 0; i < 200; ++i) {
    const auto bank = static_cast<std::uint8_t>(rng());
    const auto address = static_cast<std::uint8_t>(rng());
    const auto count = static_cast<std::uint8_t>(rng() % 65);
    std::vector<std::uint8_t> data(count);
    for (auto& b : data) b = static_cast<std::uint8_t>(rng());
    const std::string read = FormatReadCommand(kReadMem3Prefix, bank, address, count);
    ASSERT_EQ(read.size(), 13U);
    const std::string write = FormatWriteCommand(kWriteMem3Prefix, bank, address, count, data.data());
    ASSERT_EQ(write.size(), 13U + 2U * count);
    EXPECT_EQ(write.substr(0, 10), read.substr(0, 10).replace(1, 2, "EW"));
    EXPECT_EQ(write.substr(10, 2U * count), Hex(data));
    // Every command's bytes from the bank on sum to zero.
    unsigned sum = 0;
    for (std::size_t p = 4; p + 1 < write.size(); p += 2) sum += static_cast<unsigned>(std::stoul(write.substr(p, 2), nullptr, 16));
    EXPECT_EQ(sum & 0xFFU, 0U) << write;
  }
}

TEST(EepromCommandsTest, ParseHexByteAcceptsExactlyTheHexDigits) {
  const std::string digits = "0123456789abcdefABCDEF";
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const bool isDigit = digits.find(ch) != std::string::npos;
    std::uint8_t value = 0x5A;
    SetLastError(0);
    EXPECT_EQ(ParseHexByte(ch, '1', value), isDigit) << c;
    EXPECT_EQ(ParseHexByte('1', ch, value), isDigit) << c;
    if (!isDigit) {
      EXPECT_EQ(value, 0x5A) << "a failed parse leaves the output alone";
      EXPECT_EQ(GetLastError(), 0xE200000BU);
    }
  }
  std::uint8_t value = 0;
  ASSERT_TRUE(ParseHexByte('a', 'F', value));
  EXPECT_EQ(value, 0xAF);
}

TEST(EepromCommandsTest, ReadResponsesAreCheckedWholeBeforeTheDestinationIsTouched) {
  const std::string command = FormatReadCommand(kReadMem2Prefix, 1, 0x40, 0x40);
  std::vector<std::uint8_t> data(64);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const std::string response = ReadResponse("^ERP014040", 1, 0x40, data);
  std::string lower = response;
  for (auto& c : lower) c = static_cast<char>(std::tolower(c));
  for (const std::string& text : {response, lower}) {
    std::array<std::uint8_t, 64> dest{};
    ASSERT_TRUE(CheckReadResponse(command, text, 64, dest.data())) << text;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), dest.begin()));
    EXPECT_FALSE(CheckReadResponse(command, text, 63, dest.data())) << "more than the room the caller has";
  }
  EXPECT_TRUE(CheckReadResponse(FormatReadCommand(kReadMem2Prefix, 0, 0, 0), ReadResponse("^ERP000000", 0, 0, {}), 0,
                                nullptr));

  const std::string one = FormatReadCommand(kReadMem2Prefix, 0, 0x1F, 1);
  const std::string good = ReadResponse("^ERP001F01", 0, 0x1F, {0x2A});
  ASSERT_EQ(good, "^ERP001F012AB6;");
  const std::vector<std::pair<const char*, std::string>> bad{
      {"checksum off by one", ReadResponse("^ERP001F01", 0, 0x1F, {0x2A}, 1)},
      {"other address echoed", ReadResponse("^ERP002001", 0, 0x20, {0x2A})},
      {"other prefix echoed", ReadResponse("^ERS001F01", 0, 0x1F, {0x2A})},
      {"one character too many", good.substr(0, 14) + "0;"},
      {"checksum missing", good.substr(0, 12) + ";"},
      {"bad data digit", "^ERP001F01G2B6;"},
      {"bad checksum digit", "^ERP001F012AZ6;"},
      {"shorter than a command", "^ERP001F01;"},
      {"empty", ""},
  };
  std::uint8_t dest = 0x77;
  for (const auto& [why, text] : bad) {
    EXPECT_FALSE(CheckReadResponse(one, text, 1, &dest)) << why;
    EXPECT_EQ(dest, 0x77) << why;
  }
  EXPECT_FALSE(CheckReadResponse(one.substr(0, 12), good, 1, &dest)) << "command must be 13 characters";
}

TEST(EepromCommandsTest, WriteResponseIsTheEchoedHeadWithItsOwnChecksum) {
  const std::array<std::uint8_t, 2> data{0x01, 0xAB};
  const std::string command = FormatWriteCommand(kWriteMem2Prefix, 0x00, 0x20, 2, data.data());
  EXPECT_TRUE(CheckWriteResponse("^EWP002002DE;", command));
  EXPECT_TRUE(CheckWriteResponse("^ewp002002de;", command));
  EXPECT_FALSE(CheckWriteResponse("^EWP002002DE;;", command)) << "14 characters";
  EXPECT_FALSE(CheckWriteResponse("^EWP002002DF;", command)) << "checksum";
  EXPECT_FALSE(CheckWriteResponse("^EWP002102DD;", command)) << "other address";
  EXPECT_FALSE(CheckWriteResponse("^EWS002002DE;", command)) << "other memory";
  EXPECT_FALSE(CheckWriteResponse("^EWP002002D;", command)) << "12 characters";
  EXPECT_FALSE(CheckWriteResponse("^EWP002002XE;", command)) << "bad digit";
  EXPECT_FALSE(CheckWriteResponse("^EWP002002DE;", "^EWP0")) << "command too short to compare";
  EXPECT_TRUE(CheckWriteResponse("^EWS3FC040C1;", FormatWriteCommand(kWriteMem3Prefix, 0x3F, 0xC0, 0x40,
                                                                     std::vector<std::uint8_t>(64).data())));
}

TEST(Crc32Test, MatchesZlibOnRandomDataFedInPieces) {
  std::mt19937 rng(12345);
  for (const std::size_t size : {0UL, 1UL, 2UL, 3UL, 7UL, 64UL, 1000UL, 65537UL}) {
    std::string data(size, '\0');
    for (auto& c : data) c = static_cast<char>(rng());
    const auto expected = static_cast<std::uint32_t>(
        ::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    EXPECT_EQ(Crc32Update(0, data), expected) << size;
    // The state is a finished CRC, so any split of the text gives the same result.
    const std::size_t cut = size == 0 ? 0 : rng() % size;
    EXPECT_EQ(Crc32Update(Crc32Update(0, data.substr(0, cut)), data.substr(cut)), expected) << size;
  }
  EXPECT_EQ(Crc32Update(0, "123456789"), 0xCBF43926U);
}

}  // namespace
}  // namespace tola
