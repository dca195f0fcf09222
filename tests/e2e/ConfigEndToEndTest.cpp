#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Format.h"
#include "e2e/E2eSupport.h"
#include "formats/Crc32.h"

namespace tola::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) files.push_back(entry.path().string());
  return files;
}

// A good configuration file without memory lines, saved from amplifier `serial`.
std::string HeaderOnlyFile(unsigned serial) {
  const std::string header = "*TOLA Configuration saved on 2026-01-01 at 12:00:00";
  const std::string serialLine = FormatText("TOLA Serial Number = %05u", serial);
  const std::uint32_t crc = Crc32Update(Crc32Update(0, header), serialLine);
  return header + "\r\n" + serialLine + "\r\n" + FormatText("CRC32 = 0x%08X", ~crc) + "\r\n";
}

TEST_F(EndToEnd, SaveConfigThenRestoreItThenListTheFaults) {
  const std::string port = StartSimulator({"--speed", "38400", "--serial", "4711"});
  ASSERT_FALSE(port.empty());

  // Without FILE: the proposed name in the default configuration folder.
  const RunResult saved = Tola({"--port", port, "save-config"}, 90000);
  ASSERT_EQ(saved.status, 0) << saved.out << saved.err;
  const std::string folder = Folder() + "/data/Ostravel/TOLA Configuration";
  const auto files = FilesIn(folder);
  ASSERT_EQ(files.size(), 1u);
  const std::string file = files[0];
  EXPECT_EQ(std::filesystem::path(file).filename().string().rfind("SN04711.", 0), 0u) << file;
  EXPECT_NE(saved.err.find("Configuration was saved\n"), std::string::npos) << saved.err;
  EXPECT_NE(saved.out.find("Configuration saved to " + file + "\n"), std::string::npos) << saved.out;
  const std::string text = ReadFile(file);
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

  const RunResult csv = Tola({"--quiet", "--port", port, "faults", "--csv"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto csvRows = Lines(csv.out);
  ASSERT_EQ(csvRows.size(), 11u);
  EXPECT_EQ(csvRows[0], "Index,Fault Code,Timestamp,Frequency,Variable Data");
  EXPECT_EQ(csvRows[4].rfind("6,N NO FAULT,1D09H01M01S,28500,Power on 4 time(s)", 0), 0u) << csvRows[4];
}

TEST_F(EndToEnd, CtrlCDuringTheReadingWritesNoFile) {
  const std::string port = StartSimulator({"--speed", "38400"});
  ASSERT_FALSE(port.empty());
  const std::string file = Folder() + "/never.TOLAConfig";
  auto tola = StartTola({"--trace", "--port", port, "save-config", file});
  ASSERT_TRUE(WaitForStderr(*tola, "\nConfigSaveLoopBodyState Send \"^ERS", 15000)) << "the MEM3 loop never began";
  tola->Signal(SIGINT);
  EXPECT_EQ(tola->Finish(15000), 130) << tola->Stdout() << tola->Stderr();
  EXPECT_FALSE(std::filesystem::exists(file));
  const std::string& out = tola->Stderr();
  const auto first = out.find("Save configuration was cancelled\n");
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_NE(out.find("Save configuration was cancelled\n", first + 1), std::string::npos) << "logged twice";
}

TEST_F(EndToEnd, RestoreRefusesBadFilesAndAnotherAmplifiersFileUnlessAdvanced) {
  const std::string port = StartSimulator({"--speed", "38400", "--serial", "4711"});
  ASSERT_FALSE(port.empty());

  const RunResult missing = Tola({"--port", port, "restore-config", Folder() + "/none.TOLAConfig"});
  EXPECT_EQ(missing.status, 1) << missing.out << missing.err;
  EXPECT_NE(missing.err.find("Configuration file read error"), std::string::npos) << missing.err;

  const std::string other = Folder() + "/other.TOLAConfig";
  std::ofstream(other, std::ios::binary) << HeaderOnlyFile(1);
  const RunResult refused = Tola({"--port", port, "restore-config", other});
  EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("Serial Number Mismatch"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("Restore cannot continue."), std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find("Waiting"), std::string::npos) << "nothing was sent";

  const RunResult insisted = Tola({"--yes", "--port", port, "restore-config", other, "--advanced"}, 60000);
  EXPECT_EQ(insisted.status, 0) << insisted.out << insisted.err;
  EXPECT_NE(insisted.err.find("Press Yes to continue anyway."), std::string::npos) << insisted.err;
  EXPECT_NE(insisted.err.find("Configuration was restored"), std::string::npos) << insisted.err;
}

TEST_F(EndToEnd, ConfigCommandsExplainThemselvesAndRejectBadLines) {
  for (const char* command : {"save-config", "restore-config", "faults"}) {
    const RunResult help = Tola({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("Usage: tola ") + command, 0), 0u) << help.out;
  }
  EXPECT_EQ(Tola({"restore-config"}).status, 2);
  EXPECT_EQ(Tola({"save-config", "a", "b"}).status, 2);
  EXPECT_EQ(Tola({"faults", "--bogus"}).status, 2);
  EXPECT_EQ(Tola({"faults", "--timeout", "soon"}).status, 2);
  const RunResult noPort = Tola({"--port", "ttyNOSUCH9", "faults", "--timeout", "2"});
  EXPECT_EQ(noPort.status, 3) << noPort.out << noPort.err;
}

}  // namespace
}  // namespace tola::test
