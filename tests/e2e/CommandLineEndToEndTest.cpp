// The conventions every `tola` command keeps: where its output goes, its options, its statuses.

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

struct LineCase {
  const char* what;
  std::vector<std::string> args;
  bool outputToFull;  // standard output is /dev/full
  int status;
  const char* inErr;  // "" when standard error is not checked
  const char* inOut;
};

TEST_F(EndToEnd, CommandLineConventionsWithoutAnAmplifier) {
  const LineCase cases[] = {
      {"a failed write of the data fails", {"ports"}, true, 1, "tola: the output could not be written", ""},
      {"--quiet keeps the error", {"-q", "--port", "ttyNOSUCH9", "save-config", "x"}, false, 3,
       "Unable to open serial port \"ttyNOSUCH9\"", ""},
      {"short flags run together", {"-qv", "--port", "ttyNOSUCH9", "test"}, false, 3,
       "Unable to open serial port \"ttyNOSUCH9\"", "Port:              ttyNOSUCH9\n"},
      {"--version", {"--version"}, false, 0, "", "TOLA Utility Revision "},
      {"an unknown letter among short flags", {"-qx", "ports"}, false, 2, "\"-x\"", ""},
      {"-- ends the options", {"hex-check", "--", "--no-such.hex"}, false, 1, "--no-such.hex", ""},
      {"a bad file's summary is an error", {"config-check", "/nonexistent/x.TOLAConfig"}, false, 1,
       "Error code 0x00000002", ""},
      {"an empty TEXT", {"send", ""}, false, 2, "not empty", ""},
      {"a timeout of 0", {"--port", "ttyNOSUCH9", "test", "--timeout", "0"}, false, 2, "--timeout", ""},
      {"a count of 0", {"--port", "ttyNOSUCH9", "monitor", "--count=0"}, false, 2, "--count", ""},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> argv = TolaArgv(c.args);
    if (c.outputToFull) argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full"});
    ChildProcess tola(argv, Environment());
    EXPECT_EQ(tola.Finish(20000), c.status) << tola.Stdout() << tola.Stderr();
    EXPECT_NE(tola.Stderr().find(c.inErr), std::string::npos) << tola.Stderr();
    EXPECT_NE(tola.Stdout().find(c.inOut), std::string::npos) << tola.Stdout();
    if (c.outputToFull) {
      EXPECT_EQ(std::count(tola.Stderr().begin(), tola.Stderr().end(), '\n'), 1);
    }
  }
}

TEST_F(EndToEnd, DataOnStandardOutputEverythingElseOnStandardError) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
  const RunResult csv = Tola({"--port", port, "faults", "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_EQ(csv.out.rfind("Index,Fault Code,Timestamp,Frequency,Variable Data\n", 0), 0u) << csv.out;
  std::istringstream rows(csv.out);
  for (std::string row; std::getline(rows, row);) EXPECT_EQ(std::count(row.begin(), row.end(), ','), 4) << row;
  EXPECT_NE(csv.err.find("Serial Port " + port + " is open"), std::string::npos) << csv.err;

  // Text nobody answers is not a success.
  const RunResult silent = Tola({"--quiet", "--port", port, "send", "xyz", "--wait", "300"});
  EXPECT_EQ(silent.status, 4) << silent.err;
  EXPECT_EQ(silent.out, "");
  EXPECT_NE(silent.err.find("Nothing answered within 300 ms."), std::string::npos) << silent.err;

  // A file that exists is not replaced without a terminal to ask on; that is a refusal, not a Ctrl+C.
  const std::string file = Folder() + "/kept.TOLAConfig";
  std::ofstream(file) << "keep me\n";
  const RunResult refused = Tola({"--quiet", "--port", port, "save-config", file});
  EXPECT_EQ(refused.status, 1) << refused.err;
  std::ifstream kept(file);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");
}

TEST_F(EndToEnd, ASimulatorStartingRemovesTheLinksOfKilledOnes) {
  ASSERT_EQ(StartSimulator({"--name", "ttyOLD"}), "ttyOLD");
  EXPECT_EQ(m_simulators.back()->Stop(SIGKILL), 128 + SIGKILL);
  const std::filesystem::path old = m_runtime.PortFolder() + "/ttyOLD";
  ASSERT_TRUE(std::filesystem::is_symlink(old)) << "a killed simulator cannot remove its link";

  ASSERT_FALSE(StartSimulator({}).empty());
  EXPECT_FALSE(std::filesystem::is_symlink(old));
  const RunResult ports = Tola({"ports"});
  EXPECT_EQ(ports.out.find("ttyOLD"), std::string::npos) << ports.out;
}

}  // namespace
}  // namespace tola::test
