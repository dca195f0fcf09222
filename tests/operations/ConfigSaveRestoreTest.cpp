#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Format.h"
#include "formats/Crc32.h"
#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FaultTableController.h"
#include "platform/FileSystem.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

class ConfigSaveTest : public ::testing::Test {
 protected:
  ConnectedSim s;
};

TEST_F(ConfigSaveTest, WritesAFileHoldingBothMemoriesAsTheAmplifierHasThem) {
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  const std::string path = save.ProposedPath();
  EXPECT_EQ(FolderOf(path), s.folder.Path());
  EXPECT_EQ(FileNameOf(path), "SN01234.20260101T120000.TOLAConfig");

  int closedWith = 0;
  save.onClosed = [&](int result) { closedWith = result; };
  ValueHistory progress(s.App().progressPosition, s.Host());
  ASSERT_TRUE(save.FileChosen(path));
  EXPECT_TRUE(save.Busy());
  EXPECT_EQ(s.App().progressRange.Get(), 17408u);
  ASSERT_TRUE(s.Host().RunUntil([&] { return save.Closed(); }, 120000));

  EXPECT_EQ(closedWith, ConfigSaveController::kResultSaved);
  EXPECT_EQ(save.DialogResult(), 1);
  EXPECT_EQ(save.Outcome(), 0u);
  EXPECT_FALSE(save.Busy());
  EXPECT_TRUE(s.sim.sink.Contains("Configuration was saved"));

  // Both memories, as read: 16 MEM2 and 256 MEM3 blocks of 64 bytes, in address order.
  const auto erp = s.CommandsStartingWith("^ERP");
  const auto ers = s.CommandsStartingWith("^ERS");
  ASSERT_EQ(erp.size(), 16u);
  ASSERT_EQ(ers.size(), 256u);
  EXPECT_EQ(erp.front(), "^ERP000040C0;");
  EXPECT_EQ(erp.back(), "^ERP03C040FD;");
  EXPECT_EQ(ers[4 * 0x38], "^ERS38004088;");
  ImageSink file;
  ASSERT_EQ(ReadImages(path, file), 0u);
  ASSERT_TRUE(file.Complete());
  EXPECT_EQ(file.mem2, s.Model().Mem2());
  EXPECT_EQ(file.mem3, s.Model().Mem3());

  // The header carries the time the dialog was opened, not the time the reading ended.
  const std::string text = ReadWholeFile(path);
  EXPECT_EQ(text.rfind("*TOLA Configuration saved on 2026-01-01 at 12:00:00\r\n", 0), 0u) << text.substr(0, 80);
  EXPECT_GE(s.Host().TickCount(), 5000u) << "the reading took a while";
  EXPECT_NE(text.find("TOLA Serial Number = 01234\r\n"), std::string::npos);
  EXPECT_NE(text.find("TOLA Firmware Revision = 01.23\r\n"), std::string::npos);

  // The bar is full before the closing pause.
  ASSERT_FALSE(progress.seen.empty());
  EXPECT_EQ(progress.seen.back(), 17408u);
  EXPECT_GE(s.Host().TickCount() - progress.at.back(), 700u);
  EXPECT_EQ(s.App().configurationFolder.Get(), s.folder.Path());
}

TEST_F(ConfigSaveTest, ASaveIntoAnotherFolderMakesItTheConfigurationFolder) {
  const std::string other = s.folder / "elsewhere";
  ASSERT_EQ(CreateFolder(other), kErrorSuccess);
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  ASSERT_TRUE(save.FileChosen(JoinPath(other, "mine.TOLAConfig")));
  ASSERT_TRUE(s.Host().RunUntil([&] { return save.Closed(); }, 120000));
  EXPECT_EQ(save.DialogResult(), 1);
  EXPECT_TRUE(IsRegularFile(JoinPath(other, "mine.TOLAConfig")));
  EXPECT_EQ(s.App().configurationFolder.Get(), other);

  ConfigSaveController next(s.App());
  ASSERT_TRUE(next.Open());
  EXPECT_EQ(FolderOf(next.ProposedPath()), other);
  next.CancelPressed();
  EXPECT_TRUE(next.Closed());
}

TEST_F(ConfigSaveTest, CancelDuringTheMemThreeLoopWritesNoFile) {
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  const std::string path = save.ProposedPath();
  ASSERT_TRUE(save.FileChosen(path));
  ASSERT_TRUE(s.Host().RunUntil([&] { return s.App().progressPosition.Get() > 1024 + 5 * 256; }, 60000));
  const std::size_t commandsAtCancel = s.Model().Commands().size();
  save.CancelPressed();
  EXPECT_FALSE(save.Closed()) << "the machine stops at its next send";
  ASSERT_TRUE(s.Host().RunUntil([&] { return save.Closed(); }, 10000));

  EXPECT_EQ(save.DialogResult(), 2);
  EXPECT_EQ(save.Outcome(), kErrorCancelled);
  EXPECT_FALSE(IsRegularFile(path));
  EXPECT_EQ(FolderEntries(s.folder.Path()).size(), 0u) << "no temporary file either";
  EXPECT_EQ(Occurrences(s.sim.sink, "Save configuration was cancelled"), 2u);
  EXPECT_LE(s.Model().Commands().size(), commandsAtCancel + 1) << "nothing sent after the block in flight";
  s.Host().RunPosted();
  EXPECT_EQ(s.App().OperationMachine(), nullptr) << "the machine goes with the dialog";
}

TEST_F(ConfigSaveTest, AnAmplifierThatFallsSilentEndsTheRunAfterTenSendsAndKeepsTheDialogOpen) {
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  int refreshes = 0;
  save.onRefresh = [&] { ++refreshes; };
  const std::string path = save.ProposedPath();
  ASSERT_TRUE(save.FileChosen(path));
  ASSERT_TRUE(s.Host().RunUntil([&] { return s.App().progressPosition.Get() >= 512; }, 60000));
  s.sim.port->Connect(nullptr);
  const std::size_t sentBefore = s.sim.port->Sent().size();
  s.Host().ExpectBox("No response to Read EEPROM", BoxAnswer::Ok);
  ASSERT_TRUE(s.Host().RunUntil([&] { return !save.Busy(); }, 60000));

  EXPECT_EQ(save.Outcome(), kNoResponseReadEeprom);
  EXPECT_FALSE(save.Closed());
  EXPECT_STREQ(save.ButtonCaption(), "Close");
  EXPECT_GE(refreshes, 2);
  EXPECT_TRUE(s.sim.sink.Contains("Failed to save configuration"));
  ASSERT_FALSE(s.Host().Boxes().empty());
  EXPECT_EQ(s.Host().Boxes().back().caption, "Save Configuration Error");
  EXPECT_EQ(s.Host().Boxes().back().icon, BoxIcon::Error);
  // Bank 2's first block, ten times in all, and nothing after it.
  const std::string& sent = s.sim.port->Sent();
  std::size_t sends = 0;
  for (auto at = sent.find("^ERP020040BE;"); at != std::string::npos; at = sent.find("^ERP020040BE;", at + 1)) ++sends;
  EXPECT_EQ(sends, 10u);
  EXPECT_EQ(sent.size() - sentBefore, 9 * 13u);
  EXPECT_TRUE(sent.ends_with("^ERP020040BE;"));
  EXPECT_FALSE(IsRegularFile(path));

  save.CancelPressed();
  EXPECT_TRUE(save.Closed());
  EXPECT_EQ(save.DialogResult(), 2);
  EXPECT_EQ(Occurrences(s.sim.sink, "Save configuration was cancelled"), 1u);
}

TEST_F(ConfigSaveTest, AFileThatCannotBeCreatedIsReportedTwiceAndTheDialogStaysOpen) {
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  const std::string folder = s.folder / "removed";
  ASSERT_EQ(CreateFolder(folder), kErrorSuccess);
  const std::string path = JoinPath(folder, "x.TOLAConfig");
  s.Host().ExpectBox("failed on \"" + path + "\"", BoxAnswer::Ok);
  s.Host().ExpectBox("", BoxAnswer::Ok);
  ASSERT_TRUE(save.FileChosen(path));
  // The folder goes while the amplifier is read: the write itself is the last guard.
  ASSERT_EQ(std::filesystem::remove(folder), true);
  ASSERT_TRUE(s.Host().RunUntil([&] { return !save.Busy(); }, 120000));

  EXPECT_FALSE(save.Closed());
  // Linux names the missing file, Windows the missing path.
  EXPECT_TRUE(save.Outcome() == kErrorFileNotFound || save.Outcome() == kErrorPathNotFound) << save.Outcome();
  const auto& boxes = s.Host().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "Configuration file write error");
  EXPECT_EQ(boxes[1].caption, "Save Configuration Error");
  EXPECT_TRUE(s.sim.sink.Contains("Failed to save configuration"));
  EXPECT_FALSE(s.sim.sink.Contains("Configuration was saved"));
  EXPECT_EQ(s.App().configurationFolder.Get(), s.folder.Path()) << "the folder setting stays";
}

TEST_F(ConfigSaveTest, WithoutAKnownSerialNumberTheNameHasNoSerialPart) {
  s.App().serialNumber.Change(kSerialNumberUnknown);
  ConfigSaveController save(s.App());
  ASSERT_TRUE(save.Open());
  EXPECT_EQ(save.ProposedName(), "20260101T120000.TOLAConfig");
}

TEST(ConfigSaveFolderTest, AnEmptyOrUnusableFolderFallsBackToTheDefaultOnceWithoutTalkingToTheAmplifier) {
  TempFolder data;
  ScopedEnv xdg("XDG_DATA_HOME", data.Path());
  SimApp sim;
  ASSERT_TRUE(sim.RunTest());
  const std::size_t commands = sim.model->Commands().size();
  // Linux takes the application-data folder from XDG_DATA_HOME, Windows from the shell.
  const std::string expected = JoinPath(JoinPath(AppDataFolder(), "Ostravel"), "TOLA Configuration");

  {
    ConfigSaveController save(*sim.app);
    ASSERT_TRUE(save.Open());
    EXPECT_EQ(save.Folder(), expected);
    EXPECT_TRUE(IsDirectory(expected));
    save.FileDialogFailed(false);
    EXPECT_TRUE(save.Closed());
    EXPECT_EQ(save.DialogResult(), 2);
  }
  {
    sim.app->configurationFolder.Set("/no/such/drive");
    ConfigSaveController save(*sim.app);
    ASSERT_TRUE(save.Open());
    EXPECT_EQ(save.Folder(), "/no/such/drive");
    EXPECT_TRUE(save.FileDialogFailed(true)) << "a second file dialog, in the default folder";
    EXPECT_EQ(save.Folder(), expected);
    EXPECT_FALSE(save.Closed());
    EXPECT_FALSE(save.FileDialogFailed(true));
    EXPECT_TRUE(save.Closed());
  }
  EXPECT_EQ(sim.model->Commands().size(), commands);
  EXPECT_FALSE(sim.sink.Contains("Save configuration"));
}

constexpr std::size_t kRingStart = 0x3800;

// The fault table reads what a save reads, from the ring only.
class FaultTableTest : public ConfigSaveTest {
 protected:
  bool RunToEnd(FaultTableController& table) { return s.Host().RunUntil([&] { return !table.Busy(); }, 120000); }
};

TEST_F(FaultTableTest, ListsTheRingNewestFirstAfterOneIndexAndThirtyTwoPageReads) {
  Tola400Model& model = s.Model();
  model.TripFault('C', 238);
  const unsigned newest = model.FaultIndex();

  FaultTableController table(s.App());
  int refreshes = 0;
  table.onRefresh = [&] { ++refreshes; };
  ASSERT_TRUE(table.Open());
  EXPECT_TRUE(table.Busy());
  EXPECT_FALSE(table.Listed());
  ASSERT_TRUE(RunToEnd(table));

  EXPECT_EQ(table.Outcome(), 0u);
  ASSERT_TRUE(table.Listed());
  EXPECT_FALSE(table.Closed());
  EXPECT_GE(refreshes, 2);
  EXPECT_EQ(s.CommandsStartingWith("^ERP"), std::vector<std::string>{"^ERP001F01E0;"});
  const auto pages = s.CommandsStartingWith("^ERS");
  ASSERT_EQ(pages.size(), 32u);
  EXPECT_EQ(pages.front(), "^ERS38004088;");
  EXPECT_EQ(pages.back(), "^ERS3FC040C1;");
  EXPECT_EQ(s.App().progressPosition.Get(), s.App().progressRange.Get());

  const auto& rows = table.Rows();
  ASSERT_EQ(rows.size(), newest + 1) << "slots 0 to the index hold records, the rest are empty";
  EXPECT_EQ(rows.front().index, std::to_string(newest));
  EXPECT_EQ(rows.front().faultCode, "C HI CURRENT");
  EXPECT_EQ(rows.front().variableData, "23.8 Amperes");
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].index, std::to_string(newest - i));
  EXPECT_EQ(rows.back().faultCode, "N NO FAULT");
  EXPECT_EQ(rows, ListFaultRing(model.FaultIndex(), std::span<const std::uint8_t, kFaultRingSize>(
                                                         model.Mem3().data() + kRingStart, kFaultRingSize)));
  EXPECT_TRUE(s.Host().Boxes().empty());
}

TEST_F(FaultTableTest, ClosingWhileReadingEndsAtOnceAndNothingMoreIsSent) {
  FaultTableController table(s.App());
  bool closed = false;
  table.onClosed = [&] { closed = true; };
  ASSERT_TRUE(table.Open());
  ASSERT_TRUE(s.Host().RunUntil([&] { return s.App().progressPosition.Get() >= 600; }, 60000));
  table.Close();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(table.Closed());
  EXPECT_FALSE(s.Host().IsTimerArmed(kTimerFaultTable));
  const std::size_t sent = s.sim.port->Sent().size();
  s.Host().AdvanceBy(10000);
  EXPECT_EQ(s.sim.port->Sent().size(), sent);
  EXPECT_EQ(s.App().OperationMachine(), nullptr);
  EXPECT_FALSE(table.Listed());
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

  for (const char* part : {"DelayFinishProgressState Timer Elapsed 700 ms", "ResetMcuState Timer Elapsed 3000 ms"}) {
    EXPECT_TRUE(std::ranges::any_of(trace, [&](const std::string& l) { return l.find(part) != std::string::npos; }))
        << part;
  }
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

TEST_F(ConfigRestoreTest, AFileOfAnotherAmplifierIsRefusedOrRestoredOnlyWhenTheOperatorInsists) {
  struct Case {
    bool advanced;
    const char* box;  // a part of the box's text
    BoxAnswer answer;
    bool restores;
  };
  const Case cases[] = {
      {false, "Restore cannot continue.", BoxAnswer::Ok, false},
      {true, "Press Yes to continue anyway.", BoxAnswer::No, false},
      {true, "Press Yes to continue anyway.", BoxAnswer::Yes, true},
  };
  target.App().serialNumber.Change(static_cast<std::uint16_t>(source.App().serialNumber.Get() + 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box);
    target.App().advancedMode.Set(c.advanced ? 1 : 0);
    target.Host().ExpectBox(c.box, c.answer);
    ConfigRestoreController restore(target.App());
    ASSERT_TRUE(restore.Open());
    EXPECT_EQ(restore.FileChosen(path), c.restores);
    EXPECT_TRUE(target.Host().AllBoxesShown());
    const auto& box = target.Host().Boxes().back();
    EXPECT_EQ(box.caption, "Serial Number Mismatch");
    EXPECT_EQ(box.buttons, c.advanced ? BoxButtons::YesNo : BoxButtons::Ok);
    EXPECT_EQ(box.icon, c.advanced ? BoxIcon::Warning : BoxIcon::Error);
    if (c.restores) {
      ASSERT_TRUE(RunToClose(restore));
      EXPECT_EQ(restore.Outcome(), kErrorSuccess);
    } else {
      EXPECT_TRUE(restore.Closed());
      EXPECT_EQ(restore.Outcome(), kConfigSerialMismatch);
    }
  }
}

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
  std::vector<std::array<unsigned, 3>> spans;  // bank, first, last
  for (const Mem2Run& r : runs) spans.push_back({r.bank, r.first, r.last});
  EXPECT_EQ(spans, (std::vector<std::array<unsigned, 3>>{
                       {0, 0x20, 0x22}, {0, 0x24, 0x24}, {1, 0x25, 0x25}, {2, 0xFF, 0xFF}, {2, 0x00, 0x00}}));
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(runs[0].data[0x21], 0x21);
  EXPECT_EQ(runs[0].data[0x1F], 0xFF);
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
  std::vector<std::array<unsigned, 2>> spans;  // address, count
  for (const Mem3Run& r : runs) spans.push_back({r.address, r.count});
  EXPECT_EQ(spans, (std::vector<std::array<unsigned, 2>>{{0x37C0, 64}, {0x0010, 16}, {0x0020, 16}}));
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(runs[0].data[63], 63);
  EXPECT_EQ(m.BytesToWrite(), 96u);
}

}  // namespace
}  // namespace tola::test
