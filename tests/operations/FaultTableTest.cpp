#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultTableController.h"

namespace tola::test {
namespace {

constexpr std::size_t kRingStart = 0x3800;

// Writes record `slot` of the model's ring: code, 24-bit time, frequency and variable data, low bytes first.
void PutRecord(Tola400Model& model, unsigned slot, char code, std::uint32_t time, std::uint16_t frequency,
               std::uint16_t variable) {
  const std::uint8_t record[8] = {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(time),
                                  static_cast<std::uint8_t>(time >> 8), static_cast<std::uint8_t>(time >> 16),
                                  static_cast<std::uint8_t>(frequency), static_cast<std::uint8_t>(frequency >> 8),
                                  static_cast<std::uint8_t>(variable), static_cast<std::uint8_t>(variable >> 8)};
  std::copy(record, record + 8, model.Mem3().begin() + kRingStart + 8U * slot);
}

class FaultTableTest : public ::testing::Test {
 protected:
  bool RunToEnd(FaultTableController& table) {
    return s.Host().RunUntil([&] { return !table.Busy(); }, 120000);
  }
  ConnectedSim s;
};

TEST_F(FaultTableTest, ListsTheRingNewestFirstAfterOneIndexAndThirtyTwoPageReads) {
  Tola400Model& model = s.Model();
  model.TripFault('C', 238);
  const unsigned newest = model.FaultIndex();

  s.App().trace.Set(1);
  FaultTableController table(s.App());
  int refreshes = 0;
  table.onRefresh = [&] { ++refreshes; };
  std::vector<std::string> trace;
  RecordingListener finished;
  s.App().dialogueFinished.AddListenerQuiet(&finished);
  ASSERT_TRUE(table.Open());
  table.Machine()->SetTraceHook([&](const std::string& line) { trace.push_back(line); });
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
  s.App().dialogueFinished.RemoveListener(&finished);
  EXPECT_EQ(finished.messages, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{kIdDialogueFinished, 0}}));
  ExpectTraced(trace, {"QueryFaultTableIndexState Send \"^ERP001F01E0;\"", "FaultTableLoopBodyState Send \"^ERS3FC040C1;\""});
}

TEST_F(FaultTableTest, AFullRingWithIndexSevenStartsAtSlotSevenAndEndsAtSlotEight) {
  Tola400Model& model = s.Model();
  for (unsigned slot = 0; slot < 256; ++slot) PutRecord(model, slot, 'T', 90061 + slot, 14200, slot);
  model.Mem2()[0x1F] = 7;
  FaultTableController table(s.App());
  ASSERT_TRUE(table.Open());
  ASSERT_TRUE(RunToEnd(table));
  const auto& rows = table.Rows();
  ASSERT_EQ(rows.size(), 256u);
  EXPECT_EQ(rows.front().index, "7");
  EXPECT_EQ(rows[1].index, "6");
  EXPECT_EQ(rows[8].index, "255");
  EXPECT_EQ(rows.back().index, "8");
  EXPECT_EQ(rows.front().timestamp, "1D01H01M08S");
  EXPECT_EQ(rows.front().frequency, "14200");
  EXPECT_EQ(rows.front().variableData, "0.7 degrees C");
}

TEST_F(FaultTableTest, AnEmptyRingListsNoRows) {
  std::fill(s.Model().Mem3().begin() + kRingStart, s.Model().Mem3().end(), std::uint8_t{0xFF});
  FaultTableController table(s.App());
  ASSERT_TRUE(table.Open());
  ASSERT_TRUE(RunToEnd(table));
  EXPECT_TRUE(table.Listed());
  EXPECT_TRUE(table.Rows().empty());
  EXPECT_EQ(FaultTableController::kColumns[1], std::string("     Fault Code     "));
}

TEST_F(FaultTableTest, AFailureOnTheLastPageShowsTheErrorAndNoRowsAtAll) {
  FaultTableController table(s.App());
  ASSERT_TRUE(table.Open());
  ASSERT_TRUE(s.Host().RunUntil([&] { return s.App().progressPosition.Get() >= 1 + 7 * 256 + 64; }, 60000));
  s.sim.port->Connect(nullptr);
  s.Host().ExpectBox("No response to Read EEPROM", BoxAnswer::Ok);
  ASSERT_TRUE(RunToEnd(table));
  EXPECT_EQ(table.Outcome(), kNoResponseReadEeprom);
  EXPECT_FALSE(table.Listed());
  EXPECT_TRUE(table.Rows().empty());
  EXPECT_FALSE(table.Closed()) << "the dialog stays open with an empty list";
  EXPECT_EQ(s.Host().Boxes().back().caption, "Fault Table Error");
  table.Close();
  EXPECT_TRUE(table.Closed());
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

TEST_F(FaultTableTest, NoSpeedFoundShowsItsCode) {
  s.sim.port->Connect(nullptr);
  s.Host().ExpectBox("No response after reset", BoxAnswer::Ok);
  FaultTableController table(s.App());
  ASSERT_TRUE(table.Open());
  ASSERT_TRUE(RunToEnd(table));
  EXPECT_EQ(table.Outcome(), kNoResponseAfterReset);
  EXPECT_FALSE(table.Listed());
}

}  // namespace
}  // namespace tola::test
