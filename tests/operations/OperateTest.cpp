#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "operations/ConfigTestSupport.h"
#include "operations/OperateMachine.h"
#include "operations/OperatePoller.h"
#include "support/SimApp.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

// The commands in a stretch of written text, each up to its ";".
std::vector<std::string> Commands(const std::string& sent) {
  std::vector<std::string> out;
  for (std::size_t at = 0, end = 0; (end = sent.find(';', at)) != std::string::npos; at = end + 1) {
    out.push_back(sent.substr(at, end - at + 1));
  }
  return out;
}

// An operate machine as the app's operation.
OperateMachine* Install(AppState& app) {
  auto owned = std::make_unique<OperateMachine>(app);
  OperateMachine* machine = owned.get();
  EXPECT_TRUE(app.ReplaceOperationMachine(std::move(owned)));
  return machine;
}

bool RunCycle(VirtualHost& host, OperateMachine& machine) {
  return machine.StartCycle() && host.RunUntil([&machine] { return machine.IsIdle(); }, 30000);
}

const std::vector<std::string> kQueryCycle{";",    "^I;",  "^RV;", "^tu;", "^op;", "^at;", "^bn;", "^pc;", "^pd;",
                                           "^pf;", "^pi;", "^pv;", "^sv;", "^f;",  "^xp;", "^sw;", "^ts;", "^fl;",
                                           "^tm;", "^an;", "^by;", "^cr;", "^lr;", "^md;", "^si;"};

class OperateMachineSimTest : public ConnectedModelTest {
 protected:
  void SetUp() override {
    ConnectedModelTest::SetUp();
    machine = Install(*s.app);
  }
  bool RunCycle() { return test::RunCycle(s.host, *machine); }
  bool RunUntilSent(const std::string& command) {
    return s.host.RunUntil([&] { return s.port->Sent().find(command) != std::string::npos; }, 30000);
  }

  OperateMachine* machine = nullptr;
};

TEST_F(OperateMachineSimTest, FullCycleQueriesEveryValueInOrder) {
  OperateSettings& m = s.model->Settings();
  m.band = 3;
  m.antenna = 2;
  m.attenuator = '1';
  m.mode = 'M';
  m.capacitor = 0xA5;
  m.inductor = 0x3C;
  m.operate = 1;
  m.transceiverPoll = 1;
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(machine->Result(), 0u);
  EXPECT_EQ(Commands(s.port->Sent()), kQueryCycle);

  const AppState& app = *s.app;
  const auto u = [](auto v) { return static_cast<unsigned>(v); };
  EXPECT_EQ((std::vector<unsigned>{u(app.bandIndex.Get()), u(app.antenna.Get()), u(app.attenuator.Get()),
                                   u(app.mode.Get()), u(app.capacitor.Get()), u(app.inductor.Get()),
                                   u(app.operate.Get()), u(app.bypass.Get()), u(app.side.Get()), u(app.fault.Get()),
                                   u(app.tunerInstalled.Get()), u(app.transceiverPoll.Get())}),
            (std::vector<unsigned>{3, 2, '1', 'M', 0xA5, 0x3C, 1, 'N', 'T', 'N', 1, 1}));
  EXPECT_EQ(app.installedRevision.Get(), 123);
  EXPECT_EQ(app.ConnectionState(), kConnectionFirmware);
}

TEST_F(OperateMachineSimTest, EverySetFormInItsStep) {
  machine->RequestOperate(1);
  machine->RequestAttenuator(1);
  machine->RequestClearFault();
  machine->RequestAntenna(2);
  machine->RequestAtuBypass('B');
  machine->RequestCapacitor(0x0F);
  machine->RequestInductor(0xE1);
  machine->RequestMode('M');
  machine->RequestSide('A');
  machine->RequestTune();
  s.model->TripFault('T', 700);
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(machine->Result(), 0u);
  const std::vector<std::string> expected{";",    "^I;",   "^RV;",  "^tu;",  "^op1;", "^at1;", "^bn;",
                                          "^pc;", "^pd;",  "^pf;",  "^pi;",  "^pv;",  "^sv;",  "^f;",
                                          "^xp;", "^sw;",  "^ts;",  "^flc;", "^tm;",  "^an2;", "^byB;",
                                          "^cr0F;", "^lrE1;", "^mdM;", "^siA;", "^ft;"};
  EXPECT_EQ(Commands(s.port->Sent()), expected);
  for (OperateItem item : {OperateItem::Operate, OperateItem::Attenuator, OperateItem::Fault, OperateItem::Antenna,
                           OperateItem::Bypass, OperateItem::Capacitor, OperateItem::Inductor, OperateItem::Mode,
                           OperateItem::Side}) {
    EXPECT_FALSE(machine->Request(item).pending) << "cleared by the state that sent it";
  }
  EXPECT_FALSE(machine->TuneRequest().pending);
}

TEST_F(OperateMachineSimTest, RequestOverwrittenBeforeItsStepSendsOnlyTheLastValueOnce) {
  ASSERT_TRUE(machine->StartCycle());
  ASSERT_TRUE(RunUntilSent("^pv;"));  // step 12
  machine->RequestAntenna(1);
  machine->RequestAntenna(2);
  machine->RequestAttenuator(1);
  ASSERT_TRUE(s.host.RunUntil([this] { return machine->IsIdle(); }, 30000));
  auto first = Commands(s.port->Sent());
  EXPECT_EQ(CountOf(first, "^an2;"), 1u);
  EXPECT_EQ(CountOf(first, "^an1;"), 0u);
  EXPECT_EQ(CountOf(first, "^an;"), 0u);
  EXPECT_EQ(CountOf(first, "^at;"), 1u) << "step 6 had passed: the attenuator waits for the next cycle";
  EXPECT_EQ(CountOf(first, "^at1;"), 0u);
  EXPECT_EQ(s.model->Settings().antenna, 2u);

  s.port->ClearSent();
  ASSERT_TRUE(RunCycle());
  auto second = Commands(s.port->Sent());
  EXPECT_EQ(CountOf(second, "^at1;"), 1u);
  EXPECT_EQ(CountOf(second, "^at;"), 0u);
  EXPECT_EQ(CountOf(second, "^an;"), 1u);
  EXPECT_EQ(CountOf(second, "^an2;"), 0u) << "sent once only";

  s.port->ClearSent();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(Commands(s.port->Sent()), kQueryCycle);
  EXPECT_EQ(s.app->attenuator.Get(), '1');
  EXPECT_EQ(s.app->antenna.Get(), 2u);
}

TEST_F(OperateMachineSimTest, BandElevenFailsStepSevenAfterHalfASecond) {
  s.model->Settings().band = 11;
  s.app->bandIndex.Change(4);
  ASSERT_TRUE(machine->StartCycle());
  ASSERT_TRUE(RunUntilSent("^bn;"));
  const std::uint64_t sentAt = s.host.NowMicros();
  ASSERT_TRUE(s.host.RunUntil([this] { return machine->IsIdle(); }, 30000));
  EXPECT_EQ(machine->Result(), kNoResponseBand);
  EXPECT_NEAR(static_cast<double>(s.host.NowMicros() - sentAt) / 1000.0, 500.0, 1.0);
  EXPECT_EQ(s.app->bandIndex.Get(), 4u) << "values not reached keep their last values";
  EXPECT_EQ(s.app->ConnectionState(), kConnectionNone);
  ASSERT_EQ(finished.messages.size(), 1u);
  EXPECT_EQ(finished.messages[0].second, kNoResponseBand);
}

TEST_F(OperateMachineSimTest, StartIsRefusedWhileACycleRuns) {
  ASSERT_TRUE(machine->StartCycle());
  EXPECT_FALSE(machine->StartCycle());
  ASSERT_TRUE(s.host.RunUntil([this] { return machine->IsIdle(); }, 30000));
  EXPECT_EQ(CountOf(Commands(s.port->Sent()), ";"), 1u);
}

// Scripted devices for answers the model never gives.
class OperateMachineScriptedTest : public ScriptedPortTest {
 protected:
  OperateMachineScriptedTest() { machine = Install(*t.app); }
  bool RunCycle() { return test::RunCycle(t.host, *machine); }
  // The answers of a TOLA400 in good order; sets and anything else go unanswered.
  static std::string Standard(const std::string& w) {
    static const std::map<std::string, std::string> answers{
        {";", "TOLA400;"},    {"^I;", "^ITOLA400;"}, {"^RV;", "^RV01.23;"}, {"^tu;", "^TU1;"},
        {"^op;", "^OP0;"},    {"^at;", "^AT0;"},     {"^bn;", "^BN5;"},     {"^pc;", "^PC120;"},
        {"^pd;", "^PD300;"},  {"^pf;", "^PF4000;"},  {"^pi;", "^PI25;"},    {"^pv;", "^PV40;"},
        {"^sv;", "^SV49870;"}, {"^f;", "^F14200;"},  {"^xp;", "^XP0;"},     {"^sw;", "^SW12;"},
        {"^ts;", "^TS 0 0;"}, {"^fl;", "^FLN;"},     {"^tm;", "^TM352;"},   {"^an;", "^AN1;"},
        {"^by;", "^BYN;"},    {"^cr;", "^CR3A;"},    {"^lr;", "^LR15;"},    {"^md;", "^MDA;"},
        {"^si;", "^SIT;"},
    };
    const auto it = answers.find(w);
    return it == answers.end() ? std::string() : it->second;
  }
  OperateMachine* machine = nullptr;
};

TEST_F(OperateMachineScriptedTest, SilentTransceiverPollCostsHalfASecondAndTheCycleGoesOn) {
  std::uint64_t xpAt = 0;
  std::uint64_t swAt = 0;
  t.port->responder = [this, &xpAt, &swAt](const std::string& w) -> std::string {
    if (w == "^xp;") {
      xpAt = t.host.NowMicros();
      return "";
    }
    if (w == "^sw;") swAt = t.host.NowMicros();
    return Standard(w);
  };
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(machine->Result(), 0u);
  EXPECT_EQ((swAt - xpAt) / 1000, 500u);
  EXPECT_EQ(t.app->ConnectionState(), kConnectionFirmware);
}

TEST_F(OperateMachineScriptedTest, LoaderAnswerEndsTheCycleAndMovesThePortTo38400) {
  ASSERT_EQ(t.app->SerialPort().SetLineSpeed(9600), 1u);
  t.app->SetConnectionState(kConnectionFirmware);
  t.port->responder = [](const std::string& w) -> std::string {
    if (w == ";" || w == "^I;") return "tola400;";
    return "";
  };
  RecordingListener states;
  t.app->ConnectionStateValue().AddListenerQuiet(&states);
  ASSERT_TRUE(RunCycle());
  t.app->ConnectionStateValue().RemoveListener(&states);
  EXPECT_EQ(machine->Result(), 0u);
  EXPECT_EQ(t.port->writes, (std::vector<std::string>{";", "^I;"}));
  EXPECT_EQ(t.app->ConnectionState(), kConnectionLoader);
  EXPECT_EQ(t.app->SerialPort().Speed(), 38400u);
  EXPECT_EQ(states.messages.size(), 1u);
}

TEST_F(OperateMachineScriptedTest, AnotherDeviceGivesStateZeroButTheCycleGoesOn) {
  t.app->SetConnectionState(kConnectionFirmware);
  t.port->responder = [](const std::string& w) -> std::string {
    if (w == "^I;") return "^ITUNR600;";
    return Standard(w);
  };
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(machine->Result(), 0u);
  EXPECT_EQ(t.port->writes.size(), kQueryCycle.size());
  EXPECT_EQ(t.app->ConnectionState(), kConnectionFirmware)
      << "the revision answer shows the firmware running after all";
}

TEST_F(OperateMachineScriptedTest, AnsweredSetFormIsSentAgainInTheNextCycle) {
  // An amplifier that echoes set commands: the echo is accepted as the value, so the request is
  // not taken as sent and goes out once more.
  t.port->responder = [](const std::string& w) -> std::string {
    if (w == "^at1;") return "^AT1;";
    return Standard(w);
  };
  machine->RequestAttenuator(1);
  ASSERT_TRUE(RunCycle());
  EXPECT_TRUE(machine->Request(OperateItem::Attenuator).pending);
  t.port->writes.clear();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(CountOf(t.port->writes, "^at1;"), 1u);
  EXPECT_EQ(t.app->attenuator.Get(), '1');
}

TEST_F(OperateMachineScriptedTest, ARequestMadeWhileItsStateWaitsIsSentInTheNextCycleNeverDropped) {
  // The attenuator query goes unanswered; the operator ticks the box meanwhile.
  t.port->responder = [this](const std::string& w) -> std::string {
    if (w == "^at;") {
      machine->RequestAttenuator(1);
      return "";
    }
    if (w == "^at1;") machine->RequestAttenuator(0);  // and clears it again before the set's wait ends
    return Standard(w);
  };
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(machine->Result(), 0xE20004B1u) << "an unanswered query fails the cycle";
  ASSERT_TRUE(machine->Request(OperateItem::Attenuator).pending);
  t.port->writes.clear();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(CountOf(t.port->writes, "^at1;"), 1u);
  EXPECT_TRUE(machine->Request(OperateItem::Attenuator).pending) << "the newer value is still to be sent";
  t.port->writes.clear();
  ASSERT_TRUE(RunCycle());
  EXPECT_EQ(CountOf(t.port->writes, "^at0;"), 1u);
  EXPECT_FALSE(machine->Request(OperateItem::Attenuator).pending);
}

// The page on the model: the page's own poll timer goes to the page, the rest through routing.
class OperatePollerTest : public ConnectedModelTest {
 protected:
  void SetUp() override {
    ConnectedModelTest::SetUp();
    s.router->SetPageTimerFilter([this](unsigned id) { return poller.OnTimer(id); });
    poller.onCycleFinished = [this](ResultCode code) {
      results.push_back(code);
      endTimes.push_back(s.host.NowMicros());
    };
  }
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

  // A change while a cycle runs starts the next one as soon as that one ends, not a tick later.
  s.port->ClearSent();
  ASSERT_TRUE(s.host.RunUntil([this] { return s.port->Sent().find("^sv;") != std::string::npos; }, 60000));
  s.port->ClearSent();
  ASSERT_TRUE(poller.Change({OperateControl::Attenuator, 0}));
  ASSERT_TRUE(s.host.RunUntil([this] { return results.size() == 4; }, 10000));
  EXPECT_NE(s.port->Sent().find("^at0;"), std::string::npos);
  EXPECT_EQ(s.model->Settings().attenuator, '0');
  EXPECT_LT((endTimes[3] - endTimes[2]) / 1000, 1000u) << "the next cycle began at once";
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
