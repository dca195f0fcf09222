#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/Format.h"
#include "formats/Crc32.h"
#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "platform/FileSystem.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

constexpr std::size_t kRingStart = 0x3800;

// Saves the amplifier of `s` to `path` with the save flow.
bool SaveTo(ConnectedSim& s, const std::string& path) {
  ConfigSaveController save(s.App());
  if (!save.Open() || !save.FileChosen(path)) return false;
  return s.Host().RunUntil([&] { return save.Closed(); }, 120000) && save.Outcome() == 0;
}

// Memories unlike any model's initial ones, with the configured speed 9,600 bit/s.
void Scramble(Tola400Model& model) {
  for (std::size_t i = 0; i < model.Mem2().size(); ++i) model.Mem2()[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 3));
  for (std::size_t i = 0; i < model.Mem3().size(); ++i) model.Mem3()[i] = static_cast<std::uint8_t>(0x5A ^ (i * 11));
  model.Mem2()[Tola400Model::kSpeedCodeAddress] = 1;
}

// A file that passes the reader's checks and holds no memory lines.
std::string HeaderOnlyFile() {
  const std::string header = "*TOLA Configuration saved on 2026-01-01 at 12:00:00";
  return header + "\r\n" + FormatText("CRC32 = 0x%08X", ~Crc32Update(0, header)) + "\r\n";
}

class ConfigRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = source.folder / "source.TOLAConfig";
    Scramble(source.Model());
    ASSERT_TRUE(SaveTo(source, path));
  }

  // Opens a restore on `target` and hands it the saved file.
  bool Begin(ConfigRestoreController& restore) {
    return restore.Open() && restore.FileChosen(path);
  }
  bool RunToClose(ConfigRestoreController& restore) {
    return target.Host().RunUntil([&] { return restore.Closed(); }, 300000);
  }

  ConnectedSim source;
  std::string path;
  ConnectedSim target;
};

TEST_F(ConfigRestoreTest, ASavedFileReproducesTheRestorableRangesAndNothingElse) {
  Tola400Model& model = target.Model();
  const auto mem2Before = model.Mem2();
  const auto mem3Before = model.Mem3();
  const std::uint8_t indexBefore = model.FaultIndex();
  const std::uint32_t restartsBefore = model.Counters().restarts;

  ConfigRestoreController restore(target.App());
  target.App().trace.Set(1);
  std::vector<std::string> trace;
  ASSERT_TRUE(restore.Open());
  restore.Machine()->SetTraceHook([&](const std::string& line) { trace.push_back(line); });
  ASSERT_TRUE(restore.FileChosen(path));
  EXPECT_TRUE(restore.Busy());
  EXPECT_EQ(target.App().progressRange.Get(), 15328u);
  ASSERT_TRUE(RunToClose(restore));
  EXPECT_EQ(restore.Outcome(), 0u);
  EXPECT_EQ(restore.DialogResult(), 1);
  EXPECT_EQ(target.App().progressPosition.Get(), 15328u);
  EXPECT_EQ(Occurrences(target.sim.sink, "Configuration was restored"), 1u);
  EXPECT_EQ(Occurrences(target.sim.sink, "Waiting 3 seconds for reset to complete"), 1u);

  // 16 MEM2 and 224 MEM3 blocks; bank 0 from 0x20 in three full blocks and one of 32 bytes.
  const auto ewp = target.CommandsStartingWith("^EWP");
  ASSERT_EQ(ewp.size(), 16u);
  EXPECT_EQ(target.CommandsStartingWith("^EWS").size(), 224u);
  std::vector<std::string> bank0;
  for (const auto& c : target.CommandsStartingWith("^EWP00")) bank0.push_back(c.substr(0, 10));
  EXPECT_EQ(bank0, (std::vector<std::string>{"^EWP002040", "^EWP006040", "^EWP00A040", "^EWP00E020"}));
  EXPECT_TRUE(target.CommandsStartingWith("^EWS38").empty());

  const auto& m2 = model.Mem2();
  const auto& src2 = source.Model().Mem2();
  EXPECT_TRUE(std::equal(m2.begin() + 0x20, m2.end(), src2.begin() + 0x20));
  EXPECT_TRUE(std::equal(m2.begin(), m2.begin() + 0x1F, mem2Before.begin())) << "identity bytes untouched";
  const auto& m3 = model.Mem3();
  EXPECT_TRUE(std::equal(m3.begin(), m3.begin() + kRingStart, source.Model().Mem3().begin()));

  // The restart adds one power-on record; the rest of the ring is as it was.
  EXPECT_EQ(model.Counters().restarts, restartsBefore + 1);
  EXPECT_EQ(model.FaultIndex(), static_cast<std::uint8_t>(indexBefore + 1));
  const std::size_t newSlot = kRingStart + 8U * model.FaultIndex();
  EXPECT_EQ(m3[newSlot], 'N');
  for (std::size_t a = kRingStart; a < m3.size(); ++a) {
    if (a >= newSlot && a < newSlot + 8) continue;
    ASSERT_EQ(m3[a], mem3Before[a]) << "ring byte " << a;
  }

  // The file's configuration brought the amplifier back at 9,600; both ends return to 38,400.
  EXPECT_EQ(model.ConfiguredSpeed(), 9600u);
  EXPECT_EQ(model.CountOf("^RS;"), 1u);
  EXPECT_EQ(model.CountOf("^brp3;"), 1u);
  EXPECT_EQ(model.Commands().back(), "^brp3;");
  EXPECT_EQ(model.Speed(), 38400u);
  EXPECT_EQ(target.sim.port->Speed(), 38400u);
  EXPECT_EQ(target.App().configurationFolder.Get(), source.folder.Path());

  ExpectTraced(trace, {"DelayFinishProgressState Timer Elapsed 700 ms", "ResetMcuState Timer Elapsed 3000 ms"});
}

TEST_F(ConfigRestoreTest, AFileWithoutMemoryLinesStillResetsAndNeedsNoSpeedCommand) {
  const std::string empty = target.folder / "empty.TOLAConfig";
  WriteWholeFile(empty, HeaderOnlyFile());
  ConfigRestoreController restore(target.App());
  ASSERT_TRUE(restore.Open());
  ASSERT_TRUE(restore.FileChosen(empty));
  EXPECT_EQ(target.App().progressRange.Get(), 0u);
  ASSERT_TRUE(RunToClose(restore));
  EXPECT_EQ(restore.Outcome(), 0u);
  EXPECT_TRUE(target.CommandsStartingWith("^EW").empty());
  EXPECT_EQ(target.Model().CountOf("^RS;"), 1u);
  EXPECT_TRUE(target.CommandsStartingWith("^brp").empty()) << "the speeds already matched";
}

TEST_F(ConfigRestoreTest, NoToTheInterruptQuestionGoesOnAndYesStopsTheWritingWithoutARestart) {
  ConfigRestoreController restore(target.App());
  ASSERT_TRUE(Begin(restore));
  ASSERT_TRUE(target.Host().RunUntil([&] { return target.App().progressPosition.Get() > 2000; }, 60000));
  target.Host().ExpectBox("Are you sure you wish to interrupt configuration restore?", BoxAnswer::No);
  restore.CloseRequested();
  ASSERT_EQ(target.Host().Boxes().size(), 1u);
  EXPECT_EQ(target.Host().Boxes()[0].caption, "Critical Operation in Progress");
  EXPECT_EQ(target.Host().Boxes()[0].buttons, BoxButtons::YesNo);
  EXPECT_EQ(target.Host().Boxes()[0].icon, BoxIcon::Warning);
  EXPECT_FALSE(restore.Closed());
  ASSERT_TRUE(target.Host().RunUntil([&] { return target.App().progressPosition.Get() > 4000; }, 60000))
      << "No lets the writing go on";

  target.Host().ExpectBox("Are you sure", BoxAnswer::Yes);
  target.Host().ExpectBox("Restore was cancelled. Restore again.", BoxAnswer::Ok);
  const std::size_t commandsAtCancel = target.Model().Commands().size();
  restore.CloseRequested();
  EXPECT_FALSE(restore.Closed()) << "the dialog waits for the machine";
  ASSERT_TRUE(RunToClose(restore));
  EXPECT_EQ(restore.Outcome(), kErrorCancelled);
  EXPECT_EQ(restore.DialogResult(), 2);
  EXPECT_EQ(Occurrences(target.sim.sink, "Restore configuration was cancelled"), 1u);
  EXPECT_LE(target.Model().Commands().size(), commandsAtCancel + 1);
  EXPECT_EQ(target.Model().CountOf("^RS;"), 0u);
}

TEST_F(ConfigRestoreTest, CancelDuringTheResetWaitDoesNotStopTheRestart) {
  ConfigRestoreController restore(target.App());
  ASSERT_TRUE(Begin(restore));
  ASSERT_TRUE(target.Host().RunUntil([&] { return target.Model().CountOf("^RS;") == 1; }, 120000));
  const std::uint32_t restarts = target.Model().Counters().restarts;
  target.Host().ExpectBox("Are you sure", BoxAnswer::Yes);
  target.Host().ExpectBox("Restore again", BoxAnswer::Ok);
  restore.CloseRequested();
  ASSERT_TRUE(RunToClose(restore));
  EXPECT_EQ(restore.Outcome(), kErrorCancelled);
  EXPECT_EQ(target.Model().Counters().restarts, restarts + 1);
  EXPECT_EQ(target.Model().Commands().back(), "^RS;") << "not even the first poll of the speed search";
}

TEST_F(ConfigRestoreTest, AWriteThatIsNeverAnsweredFailsAndTheDialogWaitsForClose) {
  ConfigRestoreController restore(target.App());
  ASSERT_TRUE(Begin(restore));
  ASSERT_TRUE(target.Host().RunUntil([&] { return target.App().progressPosition.Get() > 600; }, 60000));
  target.sim.port->Connect(nullptr);
  target.Host().ExpectBox("No response to Write EEPROM", BoxAnswer::Ok);
  ASSERT_TRUE(target.Host().RunUntil([&] { return !restore.Busy(); }, 60000));
  EXPECT_EQ(restore.Outcome(), kNoResponseWriteEeprom);
  EXPECT_FALSE(restore.Closed());
  EXPECT_EQ(target.Host().Boxes().back().caption, "Restore Configuration Error");
  EXPECT_EQ(Occurrences(target.sim.sink, "Failed to restore configuration"), 1u);

  restore.CloseRequested();  // idle: no question
  EXPECT_TRUE(restore.Closed());
  EXPECT_EQ(restore.DialogResult(), 2);
}

TEST_F(ConfigRestoreTest, AnAlteredFileClosesTheDialogBeforeAnythingIsSent) {
  std::string text = ReadWholeFile(path);
  char& digit = text[text.find("MEM3 0100") + 14];
  digit = digit == '0' ? '1' : '0';
  const std::string altered = target.folder / "altered.TOLAConfig";
  WriteWholeFile(altered, text);
  const std::size_t commands = target.Model().Commands().size();
  target.Host().ExpectBox("The configuration file has been altered after it was saved.", BoxAnswer::Ok);
  ConfigRestoreController restore(target.App());
  ASSERT_TRUE(restore.Open());
  EXPECT_FALSE(restore.FileChosen(altered));
  EXPECT_TRUE(restore.Closed());
  EXPECT_EQ(restore.Outcome(), kConfigCorrupt);
  EXPECT_EQ(restore.DialogResult(), 2);
  EXPECT_EQ(target.Model().Commands().size(), commands);
  EXPECT_EQ(target.App().configurationFolder.Get(), target.folder.Path()) << "only a good file moves the folder";
}

// ---------------------------------------------------------------------------------------------
// What the machine keeps of the bytes a file hands over.

TEST(ConfigRestoreRunsTest, MemTwoBytesJoinRunsOnlyWhenConsecutiveInOneBankAndRestorable) {
  TestApp t;
  ConfigRestoreMachine m(*t.app);
  m.AddMem2Byte(0, 0x1F, 0x11);  // the fault index: never restored
  for (unsigned a = 0x20; a <= 0x22; ++a) m.AddMem2Byte(0, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a));
  m.AddMem2Byte(0, 0x24, 0x24);  // a gap of one address
  m.AddMem2Byte(1, 0x25, 0x25);  // the next address, but another bank
  m.AddMem2Byte(2, 0xFF, 0x01);
  m.AddMem2Byte(2, 0x00, 0x02);  // no wrapping round the bank
  m.AddMem2Byte(4, 0x00, 0x03);  // no such bank

  const auto& runs = m.Mem2Runs();
  ASSERT_EQ(runs.size(), 5u);
  EXPECT_EQ(runs[0].bank, 0u);
  EXPECT_EQ(runs[0].first, 0x20);
  EXPECT_EQ(runs[0].last, 0x22);
  EXPECT_EQ(runs[0].data[0x21], 0x21);
  EXPECT_EQ(runs[0].data[0x1F], 0xFF);
  EXPECT_EQ(runs[1].first, 0x24);
  EXPECT_EQ(runs[2].bank, 1u);
  EXPECT_EQ(runs[3].first, 0xFF);
  EXPECT_EQ(runs[3].last, 0xFF);
  EXPECT_EQ(runs[4].first, 0x00);
  EXPECT_EQ(m.BytesToWrite(), 3u + 1u + 1u + 1u + 1u);
}

TEST(ConfigRestoreRunsTest, MemThreeLinesAreKeptWholeOnlyBelowTheFaultRing) {
  TestApp t;
  ConfigRestoreMachine m(*t.app);
  std::array<std::uint8_t, 65> data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  m.AddMem3Block(0x37C0, 64, data.data());  // the last line before the ring
  m.AddMem3Block(0x3800, 64, data.data());  // the ring
  m.AddMem3Block(0x37C1, 64, data.data());  // would end inside the ring
  m.AddMem3Block(0x0000, 65, data.data());  // more than one block
  m.AddMem3Block(0x0000, 0, data.data());
  m.AddMem3Block(0x0010, 16, data.data());
  m.AddMem3Block(0x0020, 16, data.data());  // follows the previous line, but is not merged with it

  const auto& runs = m.Mem3Runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].address, 0x37C0u);
  EXPECT_EQ(runs[0].count, 64u);
  EXPECT_EQ(runs[0].data[63], 63);
  EXPECT_EQ(runs[1].address, 0x0010u);
  EXPECT_EQ(runs[2].address, 0x0020u);
  EXPECT_EQ(m.BytesToWrite(), 96u);
}

}  // namespace
}  // namespace tola::test
