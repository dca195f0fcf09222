#include <gtest/gtest.h>

#include <fstream>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

TEST_F(EndToEnd, SaveConfigRestoreItListTheFaultsThenRestoreAnotherAmplifiersFile) {
  const std::string port = StartSimulator({"--speed", "38400", "--serial", "4711"});
  ASSERT_FALSE(port.empty());

  // Without FILE: the proposed name in the default configuration folder.
  const RunResult saved = Tola({"--port", port, "save-config"}, 90000);
  ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
  const std::string folder = DataFolder() + "/Ostravel/TOLA Configuration";
  const auto files = FolderEntries(folder);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files.begin()->rfind("SN04711.", 0), 0u) << *files.begin();
  const std::string file = folder + "/" + *files.begin();
  EXPECT_NE(saved.err.find("Configuration was saved\n"), std::string::npos) << saved.err;
  const std::string shown = ShownPath(ShownDataFolder(), "Ostravel", "TOLA Configuration", *files.begin());
  EXPECT_NE(saved.out.find("Configuration saved to " + shown + "\n"), std::string::npos) << saved.out;
  const std::string text = ReadWholeFile(file);
  EXPECT_EQ(text.rfind("*TOLA Configuration saved on ", 0), 0u);
  EXPECT_NE(text.find("\r\nTOLA Serial Number = 04711\r\n"), std::string::npos);
  EXPECT_EQ(Lines(text).size(), 295u);

  const RunResult restored = Tola({"--port", port, "restore-config", file}, 90000);
  ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
  EXPECT_NE(restored.err.find("Waiting 3 seconds for reset to complete\nConfiguration was restored\n"),
            std::string::npos)
      << restored.err;
  EXPECT_NE(restored.out.find("Configuration restored from " + file), std::string::npos);

  // The restart added a power-on record: it is the newest, slot 9 of the simulator's ring.
  const RunResult faults = Tola({"--quiet", "--port", port, "faults"});
  ASSERT_EQ(faults.status, 0) << faults.out << faults.err;
  const auto rows = Lines(faults.out);
  ASSERT_EQ(rows.size(), 11u) << faults.out;
  EXPECT_EQ(rows[0], "Index       Fault Code         Timestamp    Frequency  Variable Data");
  EXPECT_EQ(rows[1].rfind("9      N NO FAULT  ", 0), 0u) << rows[1];
  EXPECT_NE(rows[1].find("Power on 6 time(s)"), std::string::npos) << rows[1];
  EXPECT_EQ(rows[10].rfind("0      N NO FAULT  ", 0), 0u) << rows[10];

  // The data alone on standard output, the messages on standard error.
  const RunResult csv = Tola({"--port", port, "faults", "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_TRUE(Has(csv.err, "Serial Port " + ShownPort(port) + " is open")) << csv.err;
  const auto csvRows = Lines(csv.out);
  ASSERT_EQ(csvRows.size(), 11u) << csv.out;
  EXPECT_EQ(csvRows[0], "Index,Fault Code,Timestamp,Frequency,Variable Data");
  for (const std::string& row : csvRows) EXPECT_EQ(std::count(row.begin(), row.end(), ','), 4) << row;
  EXPECT_EQ(csvRows[4].rfind("6,N NO FAULT,1D09H01M01S,28500,Power on 4 time(s)", 0), 0u) << csvRows[4];

  // Another amplifier's file: the refusal itself is the restore operation's; here --advanced and
  // --yes must reach it.
  const std::string other = Folder() + "/other.TOLAConfig";
  std::ofstream(other, std::ios::binary) << ConfigurationFile(1);
  const RunResult insisted = Tola({"--yes", "--port", port, "restore-config", other, "--advanced"}, 60000);
  EXPECT_EQ(insisted.status, 0) << insisted.out << insisted.err;
  EXPECT_NE(insisted.err.find("Press Yes to continue anyway."), std::string::npos) << insisted.err;
  EXPECT_NE(insisted.err.find("Configuration was restored"), std::string::npos) << insisted.err;
}

}  // namespace
}  // namespace tola::test
