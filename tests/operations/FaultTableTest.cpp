#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "operations/ConfigTestSupport.h"
#include "operations/FaultTableController.h"

namespace tola::test {
namespace {

constexpr std::size_t kRingStart = 0x3800;

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
