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
  EXPECT_TRUE(Has(r.err, "Sending firmware from " + folder)) << r.err;
  EXPECT_TRUE(Has(r.err, "Change RS-232 speed to 38400 bit/s")) << r.err;
  EXPECT_TRUE(Has(r.err, "TOLA revision 01.23. RS-232 speed 38400 bit/s")) << r.err;
  EXPECT_TRUE(Has(r.err, "Sending firmware file " + newest + " to TOLA400")) << r.err;
  EXPECT_TRUE(Has(r.err, "Waiting 3 seconds for reset to complete")) << r.err;
  EXPECT_TRUE(Has(r.err, "Loaded TOLA400 firmware revision \"02.05\"\r\nTOLA responded with revision \"02.05\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "TOLA400 verification succeeded\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "TOLA400 firmware load is complete\n")) << r.err;
  EXPECT_TRUE(Has(r.err, "Elapsed time: ")) << r.err;
  EXPECT_TRUE(Has(r.err, "\nReady\n")) << r.err;
  EXPECT_FALSE(Has(r.err, "Click")) << "no window to close on a terminal";
  EXPECT_EQ(r.err.find("TOLA400 firmware load is complete"), r.err.rfind("TOLA400 firmware load is complete"))
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
  EXPECT_FALSE(Has(r.err, "^LD;")) << r.err;
  EXPECT_TRUE(Has(r.err, "LoadBeginDownloadState Send \"D\"")) << r.err;
  EXPECT_TRUE(Has(r.err, "LoadFirmwareLastState Send 132 bytes 0x")) << r.err;
  EXPECT_TRUE(Has(r.err, "TOLA400 firmware load is complete")) << r.err;
}

TEST_F(FirmwareEndToEnd, NothingAnsweringShowsTheInstructionsAndGivesUp) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x400, 5);
  const std::string port = StartSimulator({"--silence", "1"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--port", port, "load-firmware", file, "--timeout", "2"});
  EXPECT_EQ(r.status, 4) << r.out << r.err;
  EXPECT_TRUE(Has(r.err, "Prepare TOLA to Receive Firmware:\nConnect your TOLA400 to serial port " + port +
                             "\nTurn your TOLA400 off for at least 10 seconds\nTurn your TOLA400 on again\n"))
      << r.err;
  EXPECT_TRUE(Has(r.err, "The TOLA400 bootstrap loader did not answer within 2 s.")) << r.err;
  EXPECT_FALSE(Has(r.err, "Sending firmware file")) << r.err;
}

TEST_F(FirmwareEndToEnd, BadFileFailsAndUsageErrorsAreRefused) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x400, 6, true);
  const std::string port = StartSimulator({});
  ASSERT_FALSE(port.empty());
  const RunResult bad = Tola({"--port", port, "load-firmware", file});
  EXPECT_EQ(bad.status, 1) << bad.out << bad.err;
  EXPECT_TRUE(Has(bad.err, "error code 0xE2000041: Input hex file is corrupt, check sum is not zero")) << bad.err;
  EXPECT_FALSE(Has(bad.out + bad.err, "Sending")) << "refused before anything was sent: " << bad.err;

  const RunResult empty = Tola({"--port", port, "load-firmware", "--folder", Folder() + "/nothing"});
  EXPECT_EQ(empty.status, 1) << empty.out << empty.err;
  EXPECT_TRUE(Has(empty.err, "A required firmware file is missing")) << empty.err;
  EXPECT_TRUE(Has(empty.err, "Firmware folder does not contain required TOLA firmware file")) << empty.err;

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
  ASSERT_TRUE(WaitForStderr(*refused, "\nSending firmware file", 20000));
  refused->Signal(SIGINT);
  EXPECT_EQ(refused->Finish(60000), 0);
  EXPECT_TRUE(Has(refused->Stderr(), "Are you sure you wish to close the TOLA Utility while loading firmware?"))
      << refused->Stderr();
  EXPECT_TRUE(Has(refused->Stderr(), "refused")) << refused->Stderr();
  EXPECT_FALSE(Has(refused->Stderr(), "Ctrl+C again")) << "a second Ctrl+C would be asked about again";
  EXPECT_TRUE(Has(refused->Stderr(), "TOLA400 firmware load is complete")) << refused->Stderr();

  auto agreed = StartTola({"--yes", "--port", port, "load-firmware", file});
  ASSERT_TRUE(WaitForStderr(*agreed, "\nSending firmware file", 20000));
  agreed->Signal(SIGINT);
  EXPECT_EQ(agreed->Finish(30000), 130) << agreed->Stdout() << agreed->Stderr();
  EXPECT_FALSE(Has(agreed->Stderr(), "firmware load is complete"));
  EXPECT_FALSE(Has(agreed->Stderr(), "Error code")) << "the dialog closed before the load ended";
}

}  // namespace
}  // namespace tola::test
