#include <gtest/gtest.h>

#include "sim/SimOptions.h"
#include "sim/TrafficLog.h"
#include "support/TempFolder.h"

namespace tola::test {
namespace {

TEST(SimCommandLine, ReadsEveryOption) {
  SimCommandLine line;
  std::string error;
  ASSERT_TRUE(ParseSimCommandLine({"--speed", "9600", "--serial=65535", "--revision", "02.10",
                                   "--revision-after-load", "311", "--loader", "--answer-delay", "25",
                                   "--drop", "0.01", "--corrupt=0.02", "--delay", "0.03", "--nak", "0.5",
                                   "--silence", "0.001", "--unplug", "0", "--seed", "42", "--log", "/tmp/x.log",
                                   "--name", "ttyDEMO"},
                                  line, error))
      << error;
  const Tola400Options& m = line.model;
  EXPECT_EQ(m.speed, 9600u);
  EXPECT_EQ(m.serialNumber, 65535u);
  EXPECT_EQ(m.revision, 210u);
  ASSERT_TRUE(m.revisionAfterLoad.has_value());
  EXPECT_EQ(*m.revisionAfterLoad, 311u);
  EXPECT_TRUE(m.startInLoader);
  EXPECT_EQ(m.answerDelayUs, 25'000u);
  EXPECT_DOUBLE_EQ(m.faults.dropRate, 0.01);
  EXPECT_DOUBLE_EQ(m.faults.corruptRate, 0.02);
  EXPECT_DOUBLE_EQ(m.faults.delayRate, 0.03);
  EXPECT_DOUBLE_EQ(m.faults.nakRate, 0.5);
  EXPECT_DOUBLE_EQ(m.faults.silenceRate, 0.001);
  EXPECT_EQ(m.faults.seed, 42u);
  EXPECT_EQ(line.logPath, "/tmp/x.log");
  EXPECT_EQ(line.name, "ttyDEMO");
  EXPECT_FALSE(line.help);
}

TEST(SimCommandLine, RefusesBadValues) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--speed", "57600"}, {"--speed"},          {"--serial", "65536"},  {"--serial", "-1"},
      {"--revision", "1.23"}, {"--revision", "10000"}, {"--drop", "1.5"}, {"--nak", "x"},
      {"--name", "a/b"},    {"--name", ".."},     {"--answer-delay", "1e3"}, {"--bogus"},
      {"--seed", ""},
  };
  for (const auto& args : wrong) {
    SimCommandLine line;
    std::string error;
    EXPECT_FALSE(ParseSimCommandLine(args, line, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(SimCommandLine, RevisionsReadAsTheAmplifierReportsThem) {
  std::uint16_t revision = 0;
  EXPECT_TRUE(ParseRevision("01.23", revision));
  EXPECT_EQ(revision, 123u);
  EXPECT_TRUE(ParseRevision("99.99", revision));
  EXPECT_EQ(revision, 9999u);
  EXPECT_TRUE(ParseRevision("0", revision));
  EXPECT_EQ(revision, 0u);
  EXPECT_FALSE(ParseRevision("1.2.3", revision));
  EXPECT_FALSE(ParseRevision("ab.cd", revision));
}

TEST(TrafficLog, GroupsBurstsAndMarksWhatWasNotUnderstood) {
  EXPECT_EQ(TrafficLog::Printable(std::string("^A\\\x01\xff;", 6)), "^A\\\\\\x01\\xFF;");

  TempFolder folder;
  const std::string path = folder / "traffic.log";
  {
    TrafficLog log;
    ASSERT_TRUE(log.Open(path));
    std::uint64_t t = 1'000'000;
    for (char c : std::string("^sn;")) log.Record(TrafficLog::Direction::ToAmplifier, c, 38400, true, t += 261);
    for (char c : std::string("^SN1;")) log.Record(TrafficLog::Direction::FromAmplifier, c, 38400, true, t += 261);
    log.Record(TrafficLog::Direction::ToAmplifier, ';', 9600, false, t += 500'000);
    log.Record(TrafficLog::Direction::ToAmplifier, ';', 9600, false, t += 500'000);
  }
  EXPECT_EQ(ReadWholeFile(path),
            "   1.000261 PC>AMP 38400 ^sn;\n"
            "   1.001305 AMP>PC 38400 ^SN1;\n"
            "   1.502349 PC>AMP  9600 ;   [speeds differ: not understood]\n"
            "   2.002349 PC>AMP  9600 ;   [speeds differ: not understood]\n");
}

}  // namespace
}  // namespace tola::test
