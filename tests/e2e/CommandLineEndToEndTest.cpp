// The conventions every `tola` command keeps: where its output goes, its options, its statuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

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
       "Unable to open serial port \"ttyNOSUCH9\". Error 0x00000002: ", "Port:              ttyNOSUCH9\n"},
      {"--version", {"--version"}, false, 0, "", "TOLA Utility Revision "},
      {"an unknown letter among short flags", {"-qx", "ports"}, false, 2, "\"-x\"", ""},
      {"-- ends the options", {"hex-check", "--", "--no-such.hex"}, false, 1, "--no-such.hex", ""},
      {"a bad file's summary is an error", {"config-check", "/nonexistent/x.TOLAConfig"}, false, 1,
       "Error code 0x00000002", ""},
      {"an empty TEXT", {"send", ""}, false, 2, "not empty", ""},
      {"a timeout of 0", {"--port", "ttyNOSUCH9", "test", "--timeout", "0"}, false, 2, "--timeout", ""},
      {"a count of 0", {"--port", "ttyNOSUCH9", "monitor", "--count=0"}, false, 2, "--count", ""},
      // Usage mistakes are refused before the port is opened (status 2, not 3).
      {"restore-config without FILE", {"--port", "ttyNOSUCH9", "restore-config"}, false, 2, "", ""},
      {"save-config with two files", {"--port", "ttyNOSUCH9", "save-config", "a", "b"}, false, 2, "", ""},
      {"an unknown option", {"--port", "ttyNOSUCH9", "faults", "--bogus"}, false, 2, "", ""},
      {"a timeout that is no number", {"--port", "ttyNOSUCH9", "test", "--timeout", "soon"}, false, 2, "", ""},
      {"send without TEXT", {"--port", "ttyNOSUCH9", "send"}, false, 2, "", ""},
      {"not a firmware file name", {"--port", "ttyNOSUCH9", "load-firmware", "x/image.hex"}, false, 2, "", ""},
      {"two firmware files", {"--port", "ttyNOSUCH9", "load-firmware", "a/tola400fw0001.hex", "b/tola400fw0002.hex"},
       false, 2, "", ""},
      {"an attenuator of 2", {"--port", "ttyNOSUCH9", "set", "attenuator", "2"}, false, 2, "on or off", ""},
      {"ten antenna digits", {"--port", "ttyNOSUCH9", "antennas", "2132132132"}, false, 2, "", ""},
      {"band 11", {"--port", "ttyNOSUCH9", "erase-memories", "--band", "11", "--antenna", "1"}, false, 2, "", ""},
      {"band 40", {"--port", "ttyNOSUCH9", "erase-memories", "--band", "40"}, false, 2, "", ""},
      {"reset-config without a terminal or --yes", {"--port", "ttyNOSUCH9", "reset-config"}, false, 2, "", ""},
      {"--help lists the commands", {"--help"}, false, 0, "", "load-firmware [FILE]"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> argv = TolaArgv(c.args);
    if (c.outputToFull) argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full"});
    ChildProcess tola(argv, Environment());
    EXPECT_EQ(tola.Finish(20000), c.status) << tola.Stdout() << tola.Stderr();
    EXPECT_NE(tola.Stderr().find(c.inErr), std::string::npos) << tola.Stderr();
    EXPECT_NE(tola.Stdout().find(c.inOut), std::string::npos) << tola.Stdout();
    if (c.outputToFull) { EXPECT_EQ(std::count(tola.Stderr().begin(), tola.Stderr().end(), '\n'), 1); }
    if (c.status == 2) { EXPECT_EQ(tola.Stdout(), ""); }
  }
  for (const char* command : {"test", "save-config", "restore-config", "faults", "load-firmware", "antennas"}) {
    const RunResult help = Tola({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: tola ") + command, 0), 0u) << help.out;
  }
}

TEST_F(EndToEnd, DataOnStandardOutputEverythingElseOnStandardError) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
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
  EXPECT_EQ(ReadWholeFile(file), "keep me\n");
}

}  // namespace
}  // namespace tola::test
