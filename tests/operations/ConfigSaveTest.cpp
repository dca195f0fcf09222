#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "operations/ConfigSaveController.h"
#include "operations/ConfigTestSupport.h"
#include "operations/FaultTableController.h"
#include "platform/FileSystem.h"

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
  ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
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
  const std::string path = folder + "/x.TOLAConfig";
  s.Host().ExpectBox("failed on \"" + path + "\"", BoxAnswer::Ok);
  s.Host().ExpectBox("", BoxAnswer::Ok);
  ASSERT_TRUE(save.FileChosen(path));
  // The folder goes while the amplifier is read: the write itself is the last guard.
  ASSERT_EQ(std::filesystem::remove(folder), true);
  ASSERT_TRUE(s.Host().RunUntil([&] { return !save.Busy(); }, 120000));

  EXPECT_FALSE(save.Closed());
  EXPECT_EQ(save.Outcome(), kErrorFileNotFound);
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
  const std::string expected = data.Path() + "/Ostravel/TOLA Configuration";

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

}  // namespace
}  // namespace tola::test
