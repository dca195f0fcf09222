#include <gtest/gtest.h>

#include <string>

#include "formats/FirmwareImage.h"
#include "formats/FormatsTestSupport.h"

namespace tola {
namespace {

using test::DataRecord;
using test::EofRecord;
using test::HexRecord;

struct HexCase {
  const char* name;
  std::string text;
  ResultCode code;
  std::uint32_t line;
};

// Both passes read the same syntax and stop at the same place.
void ExpectHex(const HexCase& c) {
  SCOPED_TRACE(c.name);
  FirmwareImage image;
  const bool loaded = image.LoadText(c.text);
  EXPECT_EQ(loaded ? kErrorSuccess : GetLastError(), c.code) << std::hex << GetLastError();
  EXPECT_EQ(image.IsLoaded(), loaded);
  EXPECT_EQ(image.LineNumber(), c.line);
  FirmwareImage scan;
  const bool scanned = scan.ScanText(c.text);
  EXPECT_EQ(scanned ? kErrorSuccess : GetLastError(), c.code);
  EXPECT_EQ(scan.LineNumber(), c.line);
}

TEST(ParserDamage, ALineCarryingARecordIsRefusedCommentsAndWhiteSpaceAreNot) {
  const std::string one = DataRecord(0x0800, {0x01, 0x02});
  const std::string two = DataRecord(0x0802, {0x03, 0x04});
  const auto lines = [&](const std::string& middle) { return one + "\r\n" + middle + "\r\n" + EofRecord() + "\r\n"; };
  const HexCase cases[] = {
      {"start code turned into ';'", lines(";" + two.substr(1)), kHexMissingColon, 2},
      {"start code turned into a digit", lines("3" + two.substr(1)), kHexMissingColon, 2},
      {"start code lost", lines(two.substr(1)), kHexMissingColon, 2},
      {"record indented", lines(" " + two), kHexMissingColon, 2},
      {"text before the start code", lines("garbage" + two), kHexMissingColon, 2},
      {"hex digits left over after a record", one + "FF\r\n" + EofRecord() + "\r\n", kHexRecordLength, 1},
      {"comments and words after a record",
       "; built by the assembler\r\n" + one + "  trailing words\r\n# 4eccf8f\r\n" + EofRecord(), kErrorSuccess, 4},
      {"blank lines, white space and LF alone",
       "\r\n" + one + " \t\r\n\n  \n" + two + "\n" + EofRecord() + "\n", kErrorSuccess, 6},
      {"records back to back", one + two + EofRecord(), kErrorSuccess, 1},
      {"anything after the end-of-file record",
       one + "\r\n" + EofRecord() + "\r\n\x1A" + "garbage\r\n;x\r\n", kErrorSuccess, 2},
  };
  for (const HexCase& c : cases) ExpectHex(c);
}

TEST(ParserDamage, RecordFaultsStopAtTheirLine) {
  const std::string a = DataRecord(0x800, {1}), b = DataRecord(0x801, {2}), eof = EofRecord() + "\r\n";
  // The record ":0408000001020304F2" with its byte count raised to 5 and lowered to 3.
  const HexCase cases[] = {
      {"empty", "", kHexMissingEof, 1},
      {"only comments", "no records here\r\n\r\n", kHexMissingEof, 3},
      {"no end-of-file record, no last line break", a + "\r\n" + b, kHexMissingEof, 2},
      {"no end-of-file record", a + "\r\n" + b + "\r\n", kHexMissingEof, 3},
      {"count too long", ":0508000001020304F2\r\n" + eof, kUnexpectedHexCharacter, 2},
      {"count too short", ":0308000001020304F2\r\n" + eof, kHexLineChecksum, 1},
      {"bad checksum", HexRecord(0, 0x800, {1, 2}, 1) + "\r\n" + eof, kHexLineChecksum, 1},
      {"bad digit", ":02080000G102F3\r\n" + eof, kUnexpectedHexCharacter, 1},
      {"ends inside a record", ":020800", kUnexpectedHexCharacter, 1},
      {"ends after the colon", "\r\n:", kUnexpectedHexCharacter, 2},
      {"record type 06", HexRecord(0x06, 0, {}) + "\r\n" + eof, kHexUnknownRecordType, 1},
      {"record type FF", HexRecord(0xFF, 0, {1}) + "\r\n" + eof, kHexUnknownRecordType, 1},
      {"error on the third line", a + "\r\n" + b + "\r\n:01080200G1\r\n", kUnexpectedHexCharacter, 3},
  };
  for (const HexCase& c : cases) ExpectHex(c);
}

TEST(ParserDamage, LineNumbersDoNotWrapAt65536) {
  std::string text;
  for (unsigned i = 0; i < 69999; ++i) text += "\r\n";
  ExpectHex({"error on line 70,000", text + ":02080000G102F3\r\n", kUnexpectedHexCharacter, 70000});
  ExpectHex({"end-of-file record on line 70,000", text + EofRecord() + "\r\n", kErrorSuccess, 70000});
}

TEST(ParserDamage, AFirmwareFileIsCheckedWholeBeforeALoad) {
  test::TempFolder folder;
  struct Row {
    const char* name;
    std::string text;  // empty: no file at all
    ResultCode code;
    std::uint32_t line;
  };
  // Window all 0xFF (W = 0xFFFF) but for the word at 0x802, 64191 = 0xFABF making the sum zero.
  const Row rows[] = {
      {"good.hex", DataRecord(0x0802, {0xFA, 0xBF}) + "\r\n" + EofRecord() + "\r\n", kErrorSuccess, 2},
      {"unbalanced.hex", DataRecord(0x0802, {0xFA, 0xC0}) + "\r\n" + EofRecord() + "\r\n", kHexFileChecksum, 2},
      {"damaged.hex", DataRecord(0x0802, {0xFA, 0xBF}) + "\r\n;" + EofRecord().substr(1) + "\r\n", kHexMissingColon, 2},
      {"missing.hex", "", kErrorFileNotFound, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    if (!r.text.empty()) test::WriteWholeFile(folder / r.name, r.text);
    std::uint32_t line = 99;
    EXPECT_EQ(CheckFirmwareFile(folder / r.name, line), r.code);
    EXPECT_EQ(line, r.line);
  }
  EXPECT_EQ(FirmwareFileFault(70000, kHexMissingColon),
            "Line 70000, error code 0xE2000020: intel hex line does not begin with the expected colon");
}

}  // namespace
}  // namespace tola
