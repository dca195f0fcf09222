// Files are checked before the amplifier is contacted: with a port that does not exist, each
// command below must stop at its file (status 1) instead of reaching the port (status 3).
// Problems with the settings file are said on standard error.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "e2e/E2eSupport.h"
#include "support/FirmwareHex.h"

namespace tola::test {
namespace {

TEST_F(EndToEnd, BadFilesAreRefusedBeforeThePortTest) {
  const std::string fifo = Folder() + "/pipe.TOLAConfig";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string hex = WindowToIntelHex(MakeFirmwareWindow(0x400, 110));
  hex[hex.find("\n:") + 1] = ';';
  const std::string firmware = Folder() + "/tola400fw0110.hex";
  std::ofstream(firmware, std::ios::binary) << hex;

  struct Row {
    std::vector<std::string> args;
    const char* said;
  };
  const Row rows[] = {
      {{"save-config", fifo}, "not a regular file"},
      {{"save-config", Folder() + "/gone/x.TOLAConfig"}, "A folder in the path does not exist."},
      {{"restore-config", Folder() + "/none.TOLAConfig"}, "The file could not be found."},
      {{"load-firmware", firmware}, "cannot be sent: Line 2, error code 0xE2000020"},
      {{"load-firmware", Folder() + "/tola400fw0111.hex"}, "cannot be sent: Line 0, error code 0x00000002"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args[0] + " " + r.args[1]);
    std::vector<std::string> args{"--port", "ttyNOSUCH9"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const RunResult run = Tola(args);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, r.said)) << run.err;
  }
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(EndToEnd, WhatIsWrongWithTheSettingsFileIsSaid) {
  const std::string damaged = Folder() + "/damaged.reg";
  std::ofstream(damaged, std::ios::binary) << std::string("\x7F" "ELF\x02\x01\x01\0\n\x03\0>\0\n", 14);
  const std::string huge = Folder() + "/huge.reg";
  std::ofstream(huge) << "Windows Registry Editor Version 5.00\n";
  ASSERT_EQ(::truncate(huge.c_str(), 17 << 20), 0);
  const std::string elsewhere = Folder() + "/elsewhere.reg";
  std::ofstream(elsewhere) << "Windows Registry Editor Version 5.00\n\n"
                              "[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\n"
                              "\"ConfigurationFolder\"=\"" + Folder() + "/removed\"\n";
  struct Row {
    std::string settings;
    std::vector<std::string> command;
    std::string said;
  };
  const Row rows[] = {
      {Folder() + "/missing.reg", {"faults"}, "/missing.reg\" does not exist"},
      {Folder(), {"faults"}, "\" was not read (A folder was named where a file is needed"},
      {huge, {"faults"}, "/huge.reg\" was not read (larger than 16 MiB)"},
      {damaged, {"faults"}, "/damaged.reg\" is damaged: 2 of its lines could not be read"},
      {elsewhere, {"save-config"}, "/removed\" does not exist; saving in \"" + Folder() + "/data/Ostravel/TOLA Configuration\" instead"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.settings);
    std::vector<std::string> args{"--settings", r.settings, "--port", "ttyNOSUCH9"};
    args.insert(args.end(), r.command.begin(), r.command.end());
    args.insert(args.end(), {"--timeout", "1"});
    const RunResult run = Tola(args);
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, r.said)) << run.err;
  }
}

}  // namespace
}  // namespace tola::test
