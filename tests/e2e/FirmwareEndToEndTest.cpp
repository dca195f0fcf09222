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
};

TEST_F(FirmwareEndToEnd, NewestFileOfTheFolderIsLoadedAndVerified) {
  const std::string folder = Folder() + "/firmware";
  WriteFirmware(folder, "tola400fw0110.hex", 0x800, 1);
  WriteFirmware(folder, "tola400fw0205.hex", 0x1000, 2);
  const std::string newest = ShownPath(folder, "tola400fw0205.hex");
  WriteFirmware(folder, "tola400fw0999.hex.txt", 0x800, 3);
  const std::string port = StartSimulator({"--speed", "19200", "--revision-after-load", "02.05"});
  ASSERT_FALSE(port.empty());

  const RunResult r = Tola({"--port", port, "--verbose", "load-firmware", "--folder", folder}, 90000);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  // The operation's own lines are its tests'; here: the folder's newest file, and the dialog lines
  // printed once each.
  EXPECT_TRUE(Has(r.err, "Sending firmware file " + newest + " to TOLA400")) << r.err;
  EXPECT_TRUE(Has(r.err, "TOLA400 firmware load is complete\n")) << r.err;
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

TEST_F(FirmwareEndToEnd, BadFileFailsBeforeAnythingIsSentAndNothingAnsweringGivesUp) {
  const std::string file = WriteFirmware(Folder() + "/fw", "tola400fw0110.hex", 0x400, 5);
  const std::string port = StartSimulator({"--silence", "1"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--port", port, "load-firmware", file, "--timeout", "2"});
  EXPECT_EQ(r.status, 4) << r.out << r.err;
  EXPECT_TRUE(Has(r.err, "Prepare TOLA to Receive Firmware:\nConnect your TOLA400 to serial port " + ShownPort(port) +
                             "\nTurn your TOLA400 off for at least 10 seconds\nTurn your TOLA400 on again\n"))
      << r.err;
  EXPECT_TRUE(Has(r.err, "The TOLA400 bootstrap loader did not answer within 2 s.")) << r.err;
  EXPECT_FALSE(Has(r.err, "Sending firmware file")) << r.err;

  const std::string spoilt = WriteFirmware(Folder() + "/fw", "tola400fw0111.hex", 0x400, 6, true);
  const RunResult bad = Tola({"--port", port, "load-firmware", spoilt});
  EXPECT_EQ(bad.status, 1) << bad.out << bad.err;
  EXPECT_TRUE(Has(bad.err, "error code 0xE2000041: Input hex file is corrupt, check sum is not zero")) << bad.err;
  EXPECT_FALSE(Has(bad.out + bad.err, "Sending")) << "refused before anything was sent: " << bad.err;

  const RunResult empty = Tola({"--port", port, "load-firmware", "--folder", Folder() + "/nothing"});
  EXPECT_EQ(empty.status, 1) << empty.out << empty.err;
  EXPECT_TRUE(Has(empty.err, "A required firmware file is missing")) << empty.err;
  EXPECT_TRUE(Has(empty.err, "Firmware folder does not contain required TOLA firmware file")) << empty.err;
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
