#include <gtest/gtest.h>

#include "operations/OperatePoller.h"
#include "support/SimApp.h"

namespace tola::test {
namespace {

// The page on the model: the page's own poll timer goes to the page, the rest through routing.
class OperatePollerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s.RunTest());
    s.host.SetTimerHandler([this](unsigned id) {
      if (!poller.OnTimer(id)) RouteTimer(*s.app, id);
    });
    poller.onCycleFinished = [this](ResultCode code) {
      results.push_back(code);
      endTimes.push_back(s.host.NowMicros());
    };
    s.port->ClearSent();
  }
  SimApp s;
  OperatePoller poller{*s.app};
  std::vector<ResultCode> results;
  std::vector<std::uint64_t> endTimes;
};

TEST_F(OperatePollerTest, ShowingStartsACycleAtOnceThenOnePerTickAndHidingStopsAllTraffic) {
  s.app->operatePollInterval.Set(1000);
  ASSERT_TRUE(poller.Show());
  EXPECT_EQ(s.port->Sent(), ";") << "the first cycle starts at once";
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 3; }, 10000));
  EXPECT_EQ(results, (std::vector<ResultCode>{0, 0, 0}));
  // A cycle ends well inside the interval; the next waits for the tick.
  EXPECT_EQ((endTimes[2] - endTimes[1]) / 1000, 1000u);
  EXPECT_TRUE(poller.ControlsEnabled());

  poller.Hide();
  EXPECT_EQ(s.app->OperationMachine(), nullptr);
  EXPECT_FALSE(s.host.IsTimerArmed(OperatePoller::kPollTimerId));
  EXPECT_FALSE(s.host.IsTimerArmed(kTimerOperate));
  const std::string sent = s.port->Sent();
  s.host.AdvanceBy(5000);
  EXPECT_EQ(s.port->Sent(), sent);
}

TEST_F(OperatePollerTest, ChangesStartAtOnceExceptClearAndTune) {
  s.app->operatePollInterval.Set(30000);
  ASSERT_TRUE(poller.Show());
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 1; }, 10000));
  s.port->ClearSent();

  ASSERT_TRUE(poller.Change({OperateControl::Tune, 0}));
  ASSERT_TRUE(poller.Change({OperateControl::ClearFault, 0}));
  EXPECT_EQ(s.port->Sent(), "") << "left for the next tick";
  ASSERT_TRUE(poller.Change({OperateControl::Attenuator, 1}));
  EXPECT_EQ(s.port->Sent(), ";") << "an attenuator change starts a cycle at once";
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 2; }, 10000));
  const std::string sent = s.port->Sent();
  EXPECT_NE(sent.find("^at1;"), std::string::npos);
  EXPECT_NE(sent.find("^flc;"), std::string::npos);
  EXPECT_NE(sent.find("^ft;"), std::string::npos);
  EXPECT_EQ(s.model->Settings().attenuator, '1');
}

TEST_F(OperatePollerTest, TypedCapacitanceIsRequestedAsRelaysOnlyWhenTheyDiffer) {
  s.app->operatePollInterval.Set(30000);
  ASSERT_TRUE(poller.Show());
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 1; }, 10000));
  poller.EnterCapacitance(RelayValue(s.app->capacitor.Get(), kCapacitorWeightsPf));
  EXPECT_FALSE(poller.Machine()->Request(OperateItem::Capacitor).pending) << "same relays: nothing to ask";
  poller.EnterCapacitance(2000);
  EXPECT_TRUE(poller.Machine()->Request(OperateItem::Capacitor).pending);
  EXPECT_EQ(poller.Machine()->Request(OperateItem::Capacitor).value, 0xBFu);
  EXPECT_TRUE(poller.Machine()->IsIdle()) << "typing starts no cycle";
  poller.PollNow();
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 2; }, 10000));
  poller.PollNow();
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 3; }, 10000));
  EXPECT_EQ(s.app->capacitor.Get(), 0xBF);
  EXPECT_EQ(RelayValue(s.app->capacitor.Get(), kCapacitorWeightsPf), 1964u);
}

TEST_F(OperatePollerTest, FailedCyclesAreCountedAndPollingGoesOnWithTheConnectionLost) {
  s.app->operatePollInterval.Set(300);
  ASSERT_TRUE(poller.Show());
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 1; }, 10000));
  s.model->PowerOff();
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 4; }, 20000));
  EXPECT_EQ(results[1], kNoResponseSemicolonPoll);
  EXPECT_EQ(results[3], kNoResponseSemicolonPoll);
  EXPECT_EQ(s.app->failedCycles.Get(), 3u);
  EXPECT_EQ(s.app->ConnectionState(), kConnectionNone);
  EXPECT_FALSE(poller.ControlsEnabled());

  // Switched on again: the loader or the firmware answers, depending on when the polls reach it.
  s.model->PowerOn();
  ASSERT_TRUE(s.host.RunUntil([this] { return !results.empty() && results.back() == 0; }, 30000));
  EXPECT_NE(s.app->ConnectionState(), kConnectionNone);
  EXPECT_GE(s.app->failedCycles.Get(), 3u) << "never reset during the run";
}

TEST_F(OperatePollerTest, ReconnectionStartsTheNextCycleAtOnce) {
  s.app->operatePollInterval.Set(30000);
  s.app->SetConnectionState(kConnectionNone);
  ASSERT_TRUE(poller.Show());
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 2; }, 10000))
      << "the cycle that finds the firmware changes the connection state and so starts another";
  EXPECT_LT((endTimes[1] - endTimes[0]) / 1000, 2000u);
}

TEST_F(OperatePollerTest, NoMachineWhileAnotherOperationRuns) {
  struct Busy : Dialogue {
    bool Cancel() override { return true; }
    bool IsIdle() const override { return false; }
    void OnSerialEvent() override {}
    void OnTimer(unsigned) override {}
    unsigned TimerId() const override { return 99; }
  };
  ASSERT_TRUE(s.app->ReplaceOperationMachine(std::make_unique<Busy>()));
  EXPECT_FALSE(poller.Show());
  EXPECT_EQ(poller.Machine(), nullptr);
  EXPECT_FALSE(poller.Change({OperateControl::Antenna, 2})) << "operator actions have no effect";
  EXPECT_EQ(s.port->Sent(), "");
}

TEST(OperateDisplayTest, ValuesAsThePageShowsThem) {
  EXPECT_EQ(TenthsText(15), "1.5");
  EXPECT_EQ(TenthsText(0), "0.0");
  EXPECT_EQ(TenthsText(65535), "6553.5");
  EXPECT_EQ(SupplyVoltageText(13849), "13.8");
  EXPECT_EQ(SupplyVoltageText(13850), "13.9");
  EXPECT_EQ(SupplyVoltageText(65535), "65.5");
  EXPECT_EQ(BandText(11), "");
  EXPECT_EQ(FaultText('\0'), "");
}

TEST(OperateDisplayTest, RelaysAndTheSpinner) {
  EXPECT_EQ(RelaysFor(1000, kCapacitorWeightsPf), 0x64);
  EXPECT_EQ(RelaysFor(2000, kCapacitorWeightsPf), 0xBF);
  EXPECT_EQ(RelaysFor(999999, kCapacitorWeightsPf), 0xFF) << "beyond the total every relay is set";
  EXPECT_EQ(RelayValue(0xFF, kCapacitorWeightsPf), kMaxCapacitancePf);
  EXPECT_EQ(RelayValue(0xFF, kInductorWeightsNh), kMaxInductanceNh);
  std::vector<std::uint32_t> up{0};
  for (int i = 0; i < 5; ++i) up.push_back(RelayStep(up.back(), kCapacitorWeightsPf, true));
  EXPECT_EQ(up, (std::vector<std::uint32_t>{0, 10, 22, 32, 40, 50}));
  EXPECT_EQ(RelayStep(50, kCapacitorWeightsPf, false), 40u);
  EXPECT_EQ(RelayStep(0, kCapacitorWeightsPf, false), 0u);
  EXPECT_EQ(RelayStep(kMaxInductanceNh, kInductorWeightsNh, true), kMaxInductanceNh);
  EXPECT_EQ(RelayStep(0, kInductorWeightsNh, true), 50u);
}

TEST(OperateChangeTest, NamesAndValuesAsTheOperatorWritesThem) {
  EXPECT_EQ(ParseOperateControl("Attenuator"), OperateControl::Attenuator);
  EXPECT_EQ(ParseOperateControl("clear-fault"), OperateControl::ClearFault);
  EXPECT_EQ(ParseOperateControl("volume"), std::nullopt);

  struct Case {
    OperateControl control;
    const char* text;
    std::uint32_t value;
  };
  const Case good[] = {
      {OperateControl::Attenuator, "on", 1},  {OperateControl::Attenuator, "0", 0},
      {OperateControl::Operate, "standby", 0}, {OperateControl::Operate, "OPERATE", 1},
      {OperateControl::Antenna, "2", 2},      {OperateControl::Mode, "manual", 'M'},
      {OperateControl::Mode, "B", 'B'},       {OperateControl::Bypass, "on", 'B'},
      {OperateControl::Bypass, "n", 'N'},     {OperateControl::Side, "tx", 'T'},
      {OperateControl::Side, "ant", 'A'},     {OperateControl::Capacitor, "1000", 0x64},
      {OperateControl::Capacitor, "0x3a", 0x3A}, {OperateControl::Inductor, "17370", 0xFF},
      {OperateControl::Tune, "", 0},
  };
  for (const Case& c : good) {
    std::uint32_t value = 12345;
    std::string error;
    EXPECT_TRUE(ParseOperateValue(c.control, c.text, value, error)) << c.text << ": " << error;
    EXPECT_EQ(value, c.value) << c.text;
  }
  const std::pair<OperateControl, const char*> bad[] = {
      {OperateControl::Attenuator, "2"},  {OperateControl::Antenna, "3"},      {OperateControl::Mode, "x"},
      {OperateControl::Capacitor, "2625"}, {OperateControl::Capacitor, "-1"},  {OperateControl::Capacitor, "0x100"},
      {OperateControl::Inductor, "abc"},  {OperateControl::ClearFault, "now"}, {OperateControl::Side, ""},
  };
  for (const auto& [control, text] : bad) {
    std::uint32_t value = 0;
    std::string error;
    EXPECT_FALSE(ParseOperateValue(control, text, value, error)) << text;
    EXPECT_FALSE(error.empty()) << "a failure says why: " << text;
  }
}

}  // namespace
}  // namespace tola::test
