#include <gtest/gtest.h>

#include "sim/TrafficLog.h"
#include "support/TempFolder.h"

namespace tola::test {
namespace {

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
