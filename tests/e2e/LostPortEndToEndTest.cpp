// A port that goes away under a running command (the simulator killed, as an adapter pulled out)
// ends the command soon, with status 3 and one line that says so, instead of a stream of failed
// system calls; a mere silence of the amplifier while the port stays does not end it.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "e2e/E2eSupport.h"
#include "support/FirmwareHex.h"

namespace tola::test {
namespace {

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Waits until the simulator's traffic log shows `mark` (20 s at most, a bound that only catches
// hangs).
bool WaitForTraffic(const std::string& log, const std::string& mark) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadWholeFile(log).find(mark) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// A configuration of amplifier 1234 whose restorable MEM3 fills 224 write commands.
std::string RestorableFile() {
  std::vector<std::string> memory;
  for (unsigned address = 0; address < 0x3800; address += 0x40) {
    std::string data;
    for (unsigned i = 0; i < 0x40; ++i) data += FormatText("%02X", (address / 0x40 + i) & 0xFF);
    memory.push_back(FormatText("MEM3 %04X 40 %s", address, data));
  }
  return ConfigurationFile(1234, memory);
}

struct LossCase {
  const char* name;
  std::vector<std::string> args;  // after "--port PORT"; FILE stands for the row's input file
  const char* traffic;            // what the simulator's log shows once the command is under way
  const char* consequence;        // what the line adds for work cut short ("" when nothing is left half done)
  bool silenceFirst;              // the amplifier falls silent for a while before the port goes
};

void PrintTo(const LossCase& c, std::ostream* os) { *os << c.name; }

class LostPortEndToEnd : public EndToEnd, public ::testing::WithParamInterface<LossCase> {};

TEST_P(LostPortEndToEnd, KilledSimulatorEndsTheCommandWithOneLineAndStatus3) {
  const LossCase& c = GetParam();
  std::string file = Folder() + "/input";
  if (std::string(c.name) == "restore_config") {
    file += ".TOLAConfig";
    std::ofstream(file, std::ios::binary) << RestorableFile();
  } else if (std::string(c.name) == "load_firmware") {
    file = Folder() + "/tola400fw0123.hex";
    std::ofstream(file, std::ios::binary) << WindowToIntelHex(MakeFirmwareWindow(0x8000, 9));
  }
  const std::string log = Folder() + "/traffic.log";
  const std::string port = StartSimulator({"--log", log});
  ASSERT_FALSE(port.empty());
  std::vector<std::string> args{"--port", port};
  for (const std::string& a : c.args) args.push_back(a == "FILE" ? file : a);
  auto tola = StartTola(args);
  ASSERT_TRUE(WaitForTraffic(log, c.traffic)) << ReadWholeFile(log);

  if (c.silenceFirst) {
    // A stopped simulator keeps its terminal open and answers nothing: cycles fail, the command
    // goes on, and takes up again when the amplifier answers.
    m_simulators.back()->Signal(SIGSTOP);
    std::string line;
    bool failedCycle = false;
    while (!failedCycle && tola->ReadLine(line, 15000)) failedCycle = line.rfind("cycle failed: ", 0) == 0;
    EXPECT_TRUE(failedCycle);
    m_simulators.back()->Signal(SIGCONT);
    bool answered = false;
    while (!answered && tola->ReadLine(line, 15000)) answered = line.rfind("band=", 0) == 0;
    EXPECT_TRUE(answered) << "the command went on after the silence";
  }
  m_simulators.back()->Stop(SIGKILL);
  // Ten seconds is far beyond the end wanted here and short of the time-outs that would otherwise
  // end a save or restore (a monitor would never end).
  const int status = tola->Finish(10000);
  const std::string all = tola->Stdout() + tola->Stderr();
  EXPECT_EQ(status, 3) << all;
  EXPECT_EQ(Count(all, "The port " + ShownPort(port) + " went away."), 1u) << all;
  EXPECT_EQ(Count(all, "failed on \""), 0u) << "no failed system calls: " << all;
  EXPECT_NE(all.find(c.consequence), std::string::npos) << all;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LostPortEndToEnd,
    ::testing::Values(
        LossCase{"monitor", {"--quiet", "monitor", "--interval", "100"}, "^sw;", "", true},
        LossCase{"save_config", {"save-config", "FILE"}, "^ERS", "", false},
        LossCase{"restore_config", {"restore-config", "FILE"}, "^EWS", "restore again", false},
        LossCase{"load_firmware", {"load-firmware", "FILE"}, "AMP>PC 38400 A\n", "load the firmware again", false}),
    [](const ::testing::TestParamInfo<LossCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace tola::test
