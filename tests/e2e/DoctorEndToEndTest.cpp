#include <gtest/gtest.h>

#include <csignal>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

// A line of `out` starts with `prefix` and holds `part`.
bool HasLine(const std::string& out, const std::string& prefix, const std::string& part = {}) {
  for (const std::string& line : Lines(out)) {
    if (line.rfind(prefix, 0) == 0 && Has(line, part)) return true;
  }
  return false;
}

TEST_F(EndToEnd, DoctorFindsTheSimulatorsPortInOrderThenNamesTheProgramHoldingIt) {
  const std::string port = StartSimulator({"--speed", "9600"});
  ASSERT_FALSE(port.empty());
  // The simulator keeps its own terminal open: it does not count as another program.
  const RunResult free = Tola({"--port", port, "doctor"});
  EXPECT_TRUE(HasLine(free.out, "OK  " + port + ": the device ", " exists")) << free.out << free.err;
  EXPECT_TRUE(HasLine(free.out, "OK  " + port + ": ", " may open it")) << free.out;
  EXPECT_TRUE(HasLine(free.out, "OK  " + port + ": no other program holds it")) << free.out;
  EXPECT_FALSE(HasLine(free.out, "FIX " + port)) << free.out;

  auto monitor = StartTola({"--quiet", "--port", port, "monitor"});
  std::string line;
  ASSERT_TRUE(monitor->ReadLine(line, 15000)) << monitor->Stderr();
  const RunResult held = Tola({"--port", port, "doctor"});
  EXPECT_EQ(held.status, 1) << held.out;
  EXPECT_TRUE(HasLine(held.out, "FIX " + port + ": held by tola (pid ", "close that program")) << held.out;
  monitor->Signal(SIGINT);
  EXPECT_EQ(monitor->Finish(15000), 130) << monitor->Stderr();

  const RunResult missing = Tola({"--port", "ttyNOSUCH9", "doctor"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(HasLine(missing.out, "FIX ttyNOSUCH9: there is no device", "plug the adapter in")) << missing.out;
}

}  // namespace
}  // namespace tola::test
