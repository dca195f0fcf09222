#include <gtest/gtest.h>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

TEST_F(EndToEnd, SetAttenuatorThenMonitorPrintsOneLineOfValuesPerCycleUntilCtrlC) {
  const std::string port = StartSimulator({"--speed", "19200"});
  ASSERT_FALSE(port.empty());
  const RunResult set = Tola({"--quiet", "--port", port, "set", "attenuator", "1"});
  EXPECT_EQ(set.status, 0) << set.out << set.err;
  EXPECT_EQ(set.out, "attenuator: on\n");

  const RunResult r = Tola({"--quiet", "--port", port, "monitor", "--count", "3", "--interval", "100"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("band=20 frequency=", 0), 0u) << line;
    EXPECT_TRUE(Has(line, " fault=\"NO FAULT\" operate=standby attenuator=on antenna=1 mode=auto")) << line;
    EXPECT_TRUE(Has(line, " retries=0")) << line;
  }

  auto monitor = StartTola({"--quiet", "--port", port, "monitor"});
  std::string line;
  ASSERT_TRUE(monitor->ReadLine(line, 15000));
  EXPECT_EQ(line.rfind("band=", 0), 0u) << line;
  monitor->Signal(SIGINT);
  EXPECT_EQ(monitor->Finish(15000), 130) << monitor->Stderr();
}

TEST_F(EndToEnd, AntennasShowsAndSetsTheEnableStringThenEraseAndResetSendTheirCommands) {
  const std::string port = StartSimulator({"--speed", "9600"});
  ASSERT_FALSE(port.empty());
  const RunResult show = Tola({"--quiet", "--port", port, "antennas"});
  EXPECT_EQ(show.status, 0) << show.out << show.err;
  EXPECT_NE(show.out.find("Antenna enable:  33311111122\n"), std::string::npos) << show.out;
  EXPECT_NE(show.out.find("10     off    on\n"), std::string::npos) << show.out;

  const RunResult set = Tola({"--quiet", "--port", port, "antennas", "21321321321"});
  EXPECT_EQ(set.status, 0) << set.out << set.err;
  const RunResult again = Tola({"--quiet", "--port", port, "antennas"});
  EXPECT_NE(again.out.find("Antenna enable:  21321321321\n"), std::string::npos) << again.out;

  const RunResult erase = Tola({"--quiet", "--port", port, "erase-memories", "--band", "All", "--antenna", "2"});
  EXPECT_EQ(erase.status, 0) << erase.out << erase.err;
  EXPECT_NE(erase.out.find("\"^em152;\""), std::string::npos) << erase.out;
  const RunResult reset = Tola({"--quiet", "--port", port, "reset-config", "--yes"});
  EXPECT_EQ(reset.status, 0) << reset.out << reset.err;
  const RunResult after = Tola({"--quiet", "--port", port, "antennas"});
  EXPECT_NE(after.out.find("Antenna enable:  33333333333\n"), std::string::npos) << after.out;
}

}  // namespace
}  // namespace tola::test
