// `tola load-firmware` against `tola400-sim` over a pseudo-terminal, at the real 38,400 bit/s. The
// images here are small (a few dozen packets, a second or two on the wire); the whole 1,003-packet
// window is sent on virtual time in the operation tests.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include "e2e/E2eSupport.h"
#include "support/FirmwareHex.h"

namespace tola::test {
namespace {

class FirmwareEndToEnd : public EndToEnd {
 protected:
  // Writes a firmware file of `length` data bytes into `folder` (made if missing); returns its path.
  std::string WriteFirmware(const std::string& folder, const std::string& name, std::size_t length,
                            std::uint32_t seed, bool spoilReconciliation = false) {
    std::filesystem::create_directories(folder);
    auto window = MakeFirmwareWindow(length, seed);
    if (spoilReconciliation) window[1] = static_cast<std::uint8_t>(window[1] ^ 0x01);
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << WindowToIntelHex(window);
    return path;
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(FirmwareEndToEnd, NewestFileOfTheFolderIsLoadedAndVerified) {
  const std::string folder = Folder() + "/firmware";
  WriteFirmware(folder, "tola400fw0110.hex", 0x800, 1);
  const std::string newest = WriteFirmware(folder, "tola400fw0205.hex", 0x1000, 2);
  WriteFirmware(folder, "tola400fw0999.hex.txt", 0x800, 3);
  const std::string port = StartSimulator({"--speed", "19200", "--revision-after-load", "02.05"});
  ASSERT_FALSE(port.empty());

  const RunResult r = Tola({"--port", port, "--verbose", "load-firmware", "--folder", folder}, 90000);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "Sending firmware from " + folder)) << r.out;
  EXPECT_TRUE(Has(r.out, "Change RS-232 speed to 38400 bit/s")) << r.out;
  EXPECT_TRUE(Has(r.out, "TOLA revision 01.23. RS-232 speed 38400 bit/s")) << r.out;
  EXPECT_TRUE(Has(r.out, "Sending firmware file " + newest + " to TOLA400")) << r.out;
  EXPECT_TRUE(Has(r.out, "Waiting 3 seconds for reset to complete")) << r.out;
  EXPECT_TRUE(Has(r.out, "Loaded TOLA400 firmware revision \"02.05\"\r\nTOLA responded with revision \"02.05\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "TOLA400 verification succeeded\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "TOLA400 firmware load is complete\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "Elapsed time: ")) << r.out;
  EXPECT_TRUE(Has(r.out, "\nReady\n")) << r.out;
  EXPECT_FALSE(Has(r.out, "Click")) << "no window to close on a terminal";
  EXPECT_EQ(r.out.find("TOLA400 firmware load is complete"), r.out.rfind("TOLA400 firmware load is complete"))
      << "each dialog line is printed once";

  // The amplifier now runs the new revision at its own speed.
  const RunResult test = Tola({"--port", port, "test", "--timeout", "20"});
  EXPECT_EQ(test.status, 0) << test.out << test.err;
  EXPECT_TRUE(Has(test.out, "Revision:          02.05")) << test.out;
  EXPECT_TRUE(Has(test.out, "Speed:             19200 bit/s")) << test.out;
}

TEST_F(FirmwareEndToEnd, FromTheLoaderNoLoaderCommandIsSent) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x600, 4);
  const std::string port = StartSimulator({"--loader", "--revision-after-load", "01.10"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--port", port, "--trace", "load-firmware", file}, 90000);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_FALSE(Has(r.out, "^LD;")) << r.out;
  EXPECT_TRUE(Has(r.out, "LoadBeginDownloadState Send \"D\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "LoadFirmwareLastState Send 132 bytes 0x")) << r.out;
  EXPECT_TRUE(Has(r.out, "TOLA400 firmware load is complete")) << r.out;
}

TEST_F(FirmwareEndToEnd, NothingAnsweringShowsTheInstructionsAndGivesUp) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x400, 5);
  const std::string port = StartSimulator({"--silence", "1"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--port", port, "load-firmware", file, "--timeout", "2"});
  EXPECT_EQ(r.status, 4) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "Prepare TOLA to Receive Firmware:\nConnect your TOLA400 to serial port " + port +
                             "\nTurn your TOLA400 off for at least 10 seconds\nTurn your TOLA400 on again\n"))
      << r.out;
  EXPECT_TRUE(Has(r.err, "The TOLA400 bootstrap loader did not answer within 2 s.")) << r.err;
  EXPECT_FALSE(Has(r.out, "Sending firmware file")) << r.out;
}

TEST_F(FirmwareEndToEnd, BadFileFailsAndUsageErrorsAreRefused) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x400, 6, true);
  const std::string port = StartSimulator({});
  ASSERT_FALSE(port.empty());
  const RunResult bad = Tola({"--port", port, "load-firmware", file});
  EXPECT_EQ(bad.status, 1) << bad.out << bad.err;
  EXPECT_TRUE(Has(bad.err, "error code 0xE2000041: Input hex file is corrupt, check sum is not zero")) << bad.err;
  EXPECT_FALSE(Has(bad.out, "Sending")) << "refused before anything was sent: " << bad.out;

  const RunResult empty = Tola({"--port", port, "load-firmware", "--folder", Folder() + "/nothing"});
  EXPECT_EQ(empty.status, 1) << empty.out << empty.err;
  EXPECT_TRUE(Has(empty.err, "A required firmware file is missing")) << empty.err;
  EXPECT_TRUE(Has(empty.out, "Firmware folder does not contain required TOLA firmware file")) << empty.out;

  EXPECT_EQ(Tola({"--port", port, "load-firmware", Folder() + "/image.hex"}).status, 2);
  EXPECT_EQ(Tola({"--port", port, "load-firmware", "--timeout", "soon"}).status, 2);
  EXPECT_EQ(Tola({"--port", port, "load-firmware", "a/tola400fw0001.hex", "b/tola400fw0002.hex"}).status, 2);
  const RunResult help = Tola({"load-firmware", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "Usage: tola load-firmware [FILE] [--folder DIR] [--timeout SECONDS]"));
  EXPECT_TRUE(Has(Tola({"--help"}).out, "load-firmware [FILE]"));
}

TEST_F(FirmwareEndToEnd, CtrlCAsksAndWithoutATerminalTheLoadGoesOn) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0123.hex", 0x3000, 7);
  const std::string port = StartSimulator({});
  ASSERT_FALSE(port.empty());

  auto refused = StartTola({"--port", port, "load-firmware", file});
  std::string line;
  bool sending = false;
  while (!sending && refused->ReadLine(line, 20000)) sending = line.rfind("Sending firmware file", 0) == 0;
  ASSERT_TRUE(sending);
  refused->Signal(SIGINT);
  EXPECT_EQ(refused->Finish(60000), 0);
  EXPECT_TRUE(Has(refused->Stderr(), "Are you sure you wish to close the TOLA Utility while loading firmware?"))
      << refused->Stderr();
  EXPECT_TRUE(Has(refused->Stderr(), "refused")) << refused->Stderr();
  EXPECT_TRUE(Has(refused->Stdout(), "TOLA400 firmware load is complete")) << refused->Stdout();

  auto agreed = StartTola({"--yes", "--port", port, "load-firmware", file});
  sending = false;
  while (!sending && agreed->ReadLine(line, 20000)) sending = line.rfind("Sending firmware file", 0) == 0;
  ASSERT_TRUE(sending);
  agreed->Signal(SIGINT);
  EXPECT_EQ(agreed->Finish(30000), 130) << agreed->Stdout() << agreed->Stderr();
  EXPECT_FALSE(Has(agreed->Stdout(), "firmware load is complete"));
  EXPECT_FALSE(Has(agreed->Stdout(), "Error code")) << "the dialog closed before the load ended";
}

}  // namespace
}  // namespace tola::test
