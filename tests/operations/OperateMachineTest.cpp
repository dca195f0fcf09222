#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "operations/OperateMachine.h"
#include "operations/ConfigTestSupport.h"
#include "support/SimApp.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

// The commands in a stretch of written text, each up to its ";".
std::vector<std::string> Commands(const std::string& sent) {
  std::vector<std::string> out;
  std::string current;
  for (char c : sent) {
    current.push_back(c);
    if (c == ';') {
      out.push_back(current);
      current.clear();
    }
  }
  return out;
}

const std::vector<std::string> kQueryCycle{";",    "^I;",  "^RV;", "^tu;", "^op;", "^at;", "^bn;", "^pc;", "^pd;",
                                           "^pf;", "^pi;", "^pv;", "^sv;", "^f;",  "^xp;", "^sw;", "^ts;", "^fl;",
                                           "^tm;", "^an;", "^by;", "^cr;", "^lr;", "^md;", "^si;"};

class OperateMachineSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(s.RunTest());
    ASSERT_EQ(s.app->ConnectionState(), kConnectionFirmware);
    auto owned = std::make_unique<OperateMachine>(*s.app);
    machine = owned.get();
    ASSERT_TRUE(s.app->ReplaceOperationMachine(std::move(owned)));
    s.app->dialogueFinished.AddListenerQuiet(&finished);
    s.port->ClearSent();
  }
  void TearDown() override { s.app->dialogueFinished.RemoveListener(&finished); }
  bool RunCycle(std::uint32_t limitMs = 30000) {
    if (!machine->StartCycle()) return false;
    return s.host.RunUntil([this] { return machine->IsIdle(); }, limitMs);
  }
  // Runs the present cycle until `command` has been written.
  bool RunUntilSent(const std::string& command) {
    return s.host.RunUntil([&] { return s.port->Sent().find(command) != std::string::npos; }, 30000);
  }

  SimApp s;
  OperateMachine* machine = nullptr;
  RecordingListener finished;
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
  EXPECT_EQ(app.bandIndex.Get(), 3u);
  EXPECT_EQ(app.antenna.Get(), 2u);
  EXPECT_EQ(app.attenuator.Get(), '1');
  EXPECT_EQ(app.mode.Get(), 'M');
  EXPECT_EQ(app.capacitor.Get(), 0xA5);
  EXPECT_EQ(app.inductor.Get(), 0x3C);
  EXPECT_EQ(app.operate.Get(), 1u);
  EXPECT_EQ(app.bypass.Get(), 'N');
  EXPECT_EQ(app.side.Get(), 'T');
  EXPECT_EQ(app.fault.Get(), 'N');
  EXPECT_EQ(app.tunerInstalled.Get(), 1u);
  EXPECT_EQ(app.transceiverPoll.Get(), 1u);
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
class OperateMachineScriptedTest : public ::testing::Test {
 protected:
  OperateMachineScriptedTest() {
    t.OpenPort();
    auto owned = std::make_unique<OperateMachine>(*t.app);
    machine = owned.get();
    EXPECT_TRUE(t.app->ReplaceOperationMachine(std::move(owned)));
  }
  bool RunCycle() {
    if (!machine->StartCycle()) return false;
    return t.host.RunUntil([this] { return machine->IsIdle(); }, 30000);
  }
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
  TestApp t;
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

}  // namespace
}  // namespace tola::test
