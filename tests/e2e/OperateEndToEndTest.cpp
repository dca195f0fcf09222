#include <gtest/gtest.h>

#include <sstream>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(EndToEnd, MonitorPrintsOneLineOfValuesPerCycle) {
  const std::string port = StartSimulator({"--speed", "19200"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--quiet", "--port", port, "monitor", "--count", "3", "--interval", "100"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("band=20 frequency=", 0), 0u) << line;
    EXPECT_NE(line.find(" fault=\"NO FAULT\" operate=standby attenuator=off antenna=1 mode=auto"), std::string::npos)
        << line;
    EXPECT_NE(line.find(" retries=0"), std::string::npos) << line;
  }
}

TEST_F(EndToEnd, SetAttenuatorThenMonitorShowsIt) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
  const RunResult set = Tola({"--quiet", "--port", port, "set", "attenuator", "1"});
  EXPECT_EQ(set.status, 0) << set.out << set.err;
  EXPECT_EQ(set.out, "attenuator: on\n");

  const RunResult monitor = Tola({"--quiet", "--port", port, "monitor", "--count", "1"});
  EXPECT_EQ(monitor.status, 0) << monitor.out << monitor.err;
  EXPECT_NE(monitor.out.find(" attenuator=on "), std::string::npos) << monitor.out;

  const RunResult bad = Tola({"--port", port, "set", "attenuator", "2"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("on or off"), std::string::npos) << bad.err;
}

TEST_F(EndToEnd, AntennasShowsAndSetsTheEnableString) {
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

  EXPECT_EQ(Tola({"--port", port, "antennas", "2132132132"}).status, 2) << "ten digits";
  const RunResult help = Tola({"antennas", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: tola antennas"), std::string::npos);
}

TEST_F(EndToEnd, EraseAndResetAskForWhatTheyNeed) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
  const RunResult erase = Tola({"--quiet", "--port", port, "erase-memories", "--band", "All", "--antenna", "2"});
  EXPECT_EQ(erase.status, 0) << erase.out << erase.err;
  EXPECT_NE(erase.out.find("\"^em152;\""), std::string::npos) << erase.out;
  EXPECT_EQ(Tola({"--port", port, "erase-memories", "--band", "11", "--antenna", "1"}).status, 2);
  EXPECT_EQ(Tola({"--port", port, "erase-memories", "--band", "40"}).status, 2);

  // No terminal and no --yes: refused before the port is touched.
  const RunResult refused = Tola({"--port", port, "reset-config"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  const RunResult reset = Tola({"--quiet", "--port", port, "reset-config", "--yes"});
  EXPECT_EQ(reset.status, 0) << reset.out << reset.err;
  const RunResult after = Tola({"--quiet", "--port", port, "antennas"});
  EXPECT_NE(after.out.find("Antenna enable:  33333333333\n"), std::string::npos) << after.out;
}

TEST_F(EndToEnd, MonitorEndsWithCtrlC) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
  auto monitor = StartTola({"--quiet", "--port", port, "monitor"});
  std::string line;
  ASSERT_TRUE(monitor->ReadLine(line, 15000));
  EXPECT_EQ(line.rfind("band=", 0), 0u) << line;
  monitor->Signal(SIGINT);
  EXPECT_EQ(monitor->Finish(15000), 130) << monitor->Stderr();
}

}  // namespace
}  // namespace tola::test
