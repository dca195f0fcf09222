#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <random>

#include "formats/FirmwareImage.h"
#include "formats/FormatsTestSupport.h"

namespace tola {
namespace {

using test::DataRecord;
using test::EofRecord;
using test::HexRecord;

constexpr std::size_t kWindow = FirmwareImage::kWindowSize;

std::size_t CountNotFF(std::span<const std::uint8_t> data) {
  return static_cast<std::size_t>(std::count_if(data.begin(), data.end(), [](std::uint8_t b) { return b != 0xFF; }));
}

std::string Lines(std::initializer_list<std::string> lines, const char* end = "\r\n") {
  std::string text;
  for (const auto& l : lines) text += l + end;
  return text;
}

TEST(FirmwareImageTest, WindowIs1003BlocksFrom0x800) {
  FirmwareImage image;
  ASSERT_TRUE(image.LoadText(Lines({DataRecord(0x0800, {0x12, 0x34}), DataRecord(0xFD7F, {0x56}), EofRecord()})));
  EXPECT_EQ(image.StartAddress(), 0x800U);
  EXPECT_EQ(image.EndAddress(), 0x1FD80U);
  // 0xFD7F is below the window end (no base address), so it lands at buffer offset 0xF57F.
  EXPECT_EQ(image.Data()[0], 0x12);
  EXPECT_EQ(image.Data()[1], 0x34);
  EXPECT_EQ(image.Data()[0xFD7F - 0x800], 0x56);
  EXPECT_EQ(CountNotFF(image.Data()), 3U);
  EXPECT_EQ(image.LineNumber(), 3);
}

TEST(FirmwareImageTest, RecordsOutsideOrAcrossTheWindowEdges) {
  std::vector<std::uint8_t> bytes32(32);
  std::iota(bytes32.begin(), bytes32.end(), std::uint8_t{1});
  FirmwareImage image;
  ASSERT_TRUE(image.LoadText(Lines({
      DataRecord(0x07F0, bytes32),              // starts below the window: dropped whole
      DataRecord(0x07FF, {0xAA}),               // the last address below the window
      HexRecord(0x04, 0, {0x00, 0x01}),         // base 0x10000
      DataRecord(0xFD70, bytes32),              // 0x1FD70..0x1FD8F: cut at 0x1FD80
      DataRecord(0xFD80, {0xBB}),               // the first address past the window
      HexRecord(0x04, 0, {0x00, 0x02}),         // base 0x20000: wholly past the window
      DataRecord(0x0000, {0xCC}),
      EofRecord(),
  })));
  const auto data = image.Data();
  EXPECT_EQ(data[0], 0xFF) << "nothing may leak in from below the window";
  for (std::size_t i = 0; i < 16; ++i) EXPECT_EQ(data[kWindow - 16 + i], bytes32[i]) << i;
  EXPECT_EQ(CountNotFF(data), 16U);
  EXPECT_EQ(image.DataLength(), kWindow);
}

TEST(FirmwareImageTest, SegmentAndLinearBaseAddresses) {
  FirmwareImage image;
  ASSERT_TRUE(image.LoadText(Lines({
      HexRecord(0x02, 0, {0x10, 0x00}),  // segment 0x1000: base 0x10000
      DataRecord(0x0000, {0x01}),
      HexRecord(0x02, 0, {0x00, 0x90}),  // segment 0x0090: base 0x900
      DataRecord(0x0010, {0x02}),
      HexRecord(0x04, 0, {0x00, 0x01}),  // linear 0x0001: base 0x10000
      DataRecord(0x0004, {0x03}),
      HexRecord(0x04, 0, {0x00}),        // the missing byte reads as zero: back to 0
      DataRecord(0x0900, {0x04}),
      HexRecord(0x03, 0, {0x00, 0x00, 0x12, 0x34}),  // start addresses are ignored
      HexRecord(0x05, 0, {0x00, 0x00, 0x08, 0x00}),
      EofRecord(),
  })));
  const auto data = image.Data();
  EXPECT_EQ(data[0x10000 - 0x800], 0x01);
  EXPECT_EQ(data[0x910 - 0x800], 0x02);
  EXPECT_EQ(data[0x10004 - 0x800], 0x03);
  EXPECT_EQ(data[0x900 - 0x800], 0x04);
  EXPECT_EQ(CountNotFF(data), 4U);
}

TEST(FirmwareImageTest, LowerCaseDigitsAndLineBreaksInsideARecord) {
  std::string record = DataRecord(0x0800, {0xAB, 0xCD, 0xEF});
  std::transform(record.begin(), record.end(), record.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  // Line breaks are invisible to the record syntax, even in the middle of a record.
  const std::string split = record.substr(0, 5) + "\r\n" + record.substr(5, 4) + "\n" + record.substr(9);
  FirmwareImage image;
  ASSERT_TRUE(image.LoadText(split + "\n" + EofRecord()));
  EXPECT_EQ(image.Data()[0], 0xAB);
  EXPECT_EQ(image.Data()[2], 0xEF);
  EXPECT_EQ(image.LineNumber(), 4);
}

// Words of the window other than W: all 0xFF except one word chosen so that the total is `total`
// when W is `word`.
std::string WindowWithWord(std::uint16_t word, std::uint16_t total) {
  // 64190 words of 0xFFFF besides W and the adjusting word at 0x802.
  const auto rest = static_cast<std::uint16_t>(64190U * 0xFFFFU);
  const auto adjust = static_cast<std::uint16_t>(total - word - rest);
  return Lines({DataRecord(0x0800, {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word),
                                    static_cast<std::uint8_t>(adjust >> 8), static_cast<std::uint8_t>(adjust)}),
                EofRecord()});
}

TEST(FirmwareImageTest, ReconcileFillsAZeroWordSoTheWindowSumsToZero) {
  std::mt19937 rng(7);
  std::string text;
  text += DataRecord(0x0800, {0x00, 0x00}) + "\r\n";
  for (std::uint16_t a = 0x1000; a < 0x1400; a += 16) {
    std::vector<std::uint8_t> bytes(16);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    text += DataRecord(a, bytes) + "\r\n";
  }
  text += EofRecord();
  FirmwareImage image;
  ASSERT_TRUE(image.LoadText(text));
  ASSERT_EQ(image.ReconciliationWord(), 0);
  ASSERT_NE(test::WindowWordSum(image.Data()), 0);
  EXPECT_EQ(image.Reconcile(), 0U);
  EXPECT_NE(image.ReconciliationWord(), 0);
  EXPECT_EQ(test::WindowWordSum(image.Data()), 0);
  EXPECT_EQ(image.Reconcile(), 0U) << "the filled-in word now verifies as present";
}

TEST(FirmwareImageTest, ReconcileOutcomesForPresentAndZeroWords) {
  struct Row {
    std::uint16_t word, total;
    ResultCode code;
    std::uint16_t wordAfter;
  };
  const Row rows[] = {{0x1234, 0, 0, 0x1234}, {0x1234, 1, 0xE2000041U, 0x1234}, {0, 0, 0xA2000047U, 0}, {0, 1, 0, 0xFFFF}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.word << " " << r.total);
    FirmwareImage image;
    ASSERT_TRUE(image.LoadText(WindowWithWord(r.word, r.total)));
    EXPECT_EQ(image.Reconcile(), r.code);
    EXPECT_EQ(image.ReconciliationWord(), r.wordAfter);
    if (r.code == 0) {
      EXPECT_EQ(test::WindowWordSum(image.Data()), 0);
    }
  }
}

TEST(FirmwareImageTest, DataLengthIsCachedUntilTheNextLoad) {
  FirmwareImage image;
  EXPECT_EQ(image.DataLength(), 0U) << "nothing loaded";
  ASSERT_TRUE(image.LoadText(Lines({DataRecord(0x0900, {0x00, 0xFF, 0xFF}), EofRecord()})));
  EXPECT_EQ(image.DataLength(), 0x101U);
  ASSERT_TRUE(image.LoadText(Lines({DataRecord(0x0800, {0x01}), DataRecord(0x1000, {0xFE}), EofRecord()})));
  EXPECT_EQ(image.DataLength(), 0x801U);
  ASSERT_TRUE(image.LoadText(Lines({DataRecord(0x0800, {0xFF, 0xFF}), EofRecord()})));
  EXPECT_EQ(image.DataLength(), 1U) << "the first byte is never examined";
}

TEST(FirmwareImageTest, ScanReportsTheRangeOfAllDataRecords) {
  FirmwareImage image;
  ASSERT_TRUE(image.ScanText(Lines({DataRecord(0x0100, {1, 2, 3}), HexRecord(0x04, 0, {0x00, 0x03}),
                                    DataRecord(0x0010, {4, 5}), HexRecord(0x02, 0, {0x00, 0x00}),
                                    DataRecord(0x0050, {6}), EofRecord()})));
  EXPECT_EQ(image.StartAddress(), 0x50U);
  EXPECT_EQ(image.EndAddress(), 0x30012U);
  EXPECT_EQ(image.LineNumber(), 6);
  EXPECT_TRUE(image.Data().empty());

  ASSERT_TRUE(image.ScanText(EofRecord()));
  EXPECT_GT(image.StartAddress(), image.EndAddress()) << "no data records";

  // The top of the address space does not wrap round.
  ASSERT_TRUE(image.ScanText(Lines({HexRecord(0x04, 0, {0xFF, 0xFF}), DataRecord(0xFFF0, std::vector<std::uint8_t>(32, 0)),
                                    EofRecord()})));
  EXPECT_EQ(image.StartAddress(), 0xFFFFFFF0U);
  EXPECT_EQ(image.EndAddress(), 0xFFFFFFFFU);
}

TEST(FirmwareImageTest, FailedLoadKeepsWhatWasFilledAndANewLoadStartsClean) {
  FirmwareImage image;
  EXPECT_FALSE(image.LoadText(Lines({DataRecord(0x0800, {0x01}), ":0108010002F5"})));
  ASSERT_EQ(image.Data().size(), kWindow);
  EXPECT_EQ(image.Data()[0], 0x01);
  EXPECT_EQ(image.LineNumber(), 2);
  ASSERT_TRUE(image.LoadText(Lines({DataRecord(0x0900, {0x02}), EofRecord()})));
  EXPECT_EQ(image.Data()[0], 0xFF);
  EXPECT_EQ(CountNotFF(image.Data()), 1U);
  image.Reset();
  EXPECT_TRUE(image.Data().empty());
  EXPECT_FALSE(image.IsLoaded());
  EXPECT_EQ(image.Reconcile(), kErrorInvalidFunction) << "nothing to reconcile";
}

class FirmwareFileTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
};

TEST_F(FirmwareFileTest, LoadReadsAFileOrFailsWithASystemCodeAndLineZero) {
  const std::string path = folder / "TOLA400_0107.hex";
  test::WriteWholeFile(path, Lines({DataRecord(0x0800, {0xAB}), EofRecord()}));
  FirmwareImage image;
  ASSERT_TRUE(image.Load(path));
  EXPECT_EQ(image.FileName(), path);
  EXPECT_EQ(image.Data()[0], 0xAB);
  EXPECT_EQ(image.LineNumber(), 2);

  EXPECT_FALSE(image.Load(folder / "missing.hex"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_EQ(image.LineNumber(), 0);
  EXPECT_EQ(image.FileName(), folder / "missing.hex");
  EXPECT_TRUE(image.Data().empty());

  EXPECT_FALSE(image.Load(folder.Path()));
  EXPECT_EQ(GetLastError(), kErrorDirectory);
  EXPECT_EQ(image.LineNumber(), 0);

  test::WriteWholeFile(folder / "empty.hex", "");
  EXPECT_FALSE(image.Load(folder / "empty.hex"));
  EXPECT_EQ(GetLastError(), kHexMissingEof);
  EXPECT_EQ(image.LineNumber(), 1);
}

TEST_F(FirmwareFileTest, AFileEndingInsideARecordOnAPageBoundaryStopsAtItsEnd) {
  // Exactly one page: comment filler, then a record cut off after its byte count.
  std::string text = Lines({DataRecord(0x0800, {0x01})});
  const std::string tail = "\n:02";
  text += std::string(4096 - text.size() - tail.size(), '#') + tail;
  ASSERT_EQ(text.size(), 4096U);
  const std::string path = folder / "cut.hex";
  test::WriteWholeFile(path, text);
  FirmwareImage image;
  EXPECT_FALSE(image.Load(path));
  EXPECT_EQ(GetLastError(), kUnexpectedHexCharacter);
  EXPECT_FALSE(image.Scan(path));
  EXPECT_EQ(GetLastError(), kUnexpectedHexCharacter);
}

TEST_F(FirmwareFileTest, DescribeSummarisesGoodAndBadFiles) {
  struct Row {
    const char* name;
    std::optional<std::string> text;  // none: no file at all
    ResultCode code;
    std::vector<std::string> parts;
  };
  const Row rows[] = {
      {"good.hex", WindowWithWord(0x0000, 5), 0,
       {"Data records cover 0x00000800 to 0x00000803; end-of-file record on line 2", "data length 4 bytes, 1 packets",
        "Checksum reconciliation word computed: 0xFFFB"}},
      {"bad.hex", Lines({DataRecord(0x800, {1}), HexRecord(0x06, 0, {})}), kHexUnknownRecordType,
       {"Line 2, error code 0xE2000021: Unrecognized intel hex record type"}},
      {"eof.hex", EofRecord(), kHexFileChecksum,
       {"Error code 0xE2000041: Input hex file is corrupt, check sum is not zero"}},
      {"none.hex", std::nullopt, kErrorFileNotFound, {"Line 0, error code 0x00000002: "}},
  };
  for (const Row& r : rows) {
    if (r.text) test::WriteWholeFile(folder / r.name, *r.text);
    ResultCode result = 1;
    const std::string text = DescribeFirmwareFile(folder / r.name, result);
    EXPECT_EQ(result, r.code) << r.name;
    for (const auto& part : r.parts) EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
}

// Files written by tools nobody here wrote: the window must hold exactly the source bytes.
class GeneratedHexTest : public FirmwareFileTest {
 protected:
  static int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

  void Check(const std::string& tool, std::size_t size, std::uint32_t address) {
    SCOPED_TRACE(tool + " size " + std::to_string(size) + " at " + std::to_string(address));
    std::vector<std::uint8_t> source(size);
    std::mt19937 rng(static_cast<unsigned>(size * 31 + address));
    for (auto& b : source) b = static_cast<std::uint8_t>(rng());
    const std::string bin = folder / "source.bin";
    const std::string hex = folder / "out.hex";
    test::WriteWholeFile(bin, std::string(source.begin(), source.end()));
    const std::string addressText = FormatText("0x%X", address);
    const std::string command =
        tool == "objcopy"
            ? "objcopy -I binary -O ihex --change-addresses " + addressText + " " + bin + " " + hex
            : "srec_cat " + bin + " -binary -offset " + addressText + " -o " + hex + " -intel";
    ASSERT_EQ(Run(command), 0) << command;

    FirmwareImage image;
    ASSERT_TRUE(image.Load(hex)) << std::hex << GetLastError() << " line " << std::dec << image.LineNumber();
    const auto data = image.Data();
    const std::size_t at = address - FirmwareImage::kWindowStart;
    ASSERT_LE(at + size, data.size());
    EXPECT_TRUE(std::equal(source.begin(), source.end(), data.begin() + static_cast<std::ptrdiff_t>(at)));
    EXPECT_EQ(CountNotFF(data.first(at)), 0U);
    EXPECT_EQ(CountNotFF(data.subspan(at + size)), 0U);

    FirmwareImage scan;
    ASSERT_TRUE(scan.Scan(hex));
    EXPECT_EQ(scan.StartAddress(), address);
    EXPECT_EQ(scan.EndAddress(), address + size);
  }
};

TEST_F(GeneratedHexTest, ObjcopyFilesLoadExactly) {
  if (Run("objcopy --version") != 0) GTEST_SKIP() << "objcopy not installed";
  Check("objcopy", 1, 0x800);
  Check("objcopy", 127, 0x801);
  Check("objcopy", 4096, 0x1234);
  Check("objcopy", 70000, 0x900);    // crosses 0x10000: segment records
  Check("objcopy", kWindow, 0x800);  // the whole window
  Check("objcopy", 300, 0x1FD80 - 300);
}

TEST_F(GeneratedHexTest, SrecCatFilesLoadExactly) {
  if (Run("srec_cat -version") != 0) GTEST_SKIP() << "srec_cat not installed";
  Check("srec_cat", 1, 0x1FD7F);
  Check("srec_cat", 33, 0x805);
  Check("srec_cat", 65536, 0x8000);  // crosses 0x10000: linear records
  Check("srec_cat", kWindow, 0x800);
  Check("srec_cat", 5000, 0x10000 - 17);
}

}  // namespace
}  // namespace tola
