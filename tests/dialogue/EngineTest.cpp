#include <gtest/gtest.h>

#include "dialogue/CStateMachine.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

// Accepts only responses that begin with its prefix; records what it accepted.
class PrefixState : public QueryState {
 public:
  PrefixState(CStateMachine& m, std::string name, CState* next, std::uint32_t timeout, std::string command,
              std::string prefix, ResultCode failure, bool retry)
      : QueryState(m, std::move(name), next, timeout, std::move(command), failure),
        m_prefix(std::move(prefix)), m_retry(retry) {}

  bool Accept(const std::string& r) override { return r.rfind(m_prefix, 0) == 0; }
  void OnAccepted(const std::string& r) override { accepted.push_back(r), Proceed(); }
  void Enter() override { QueryState::Enter(), m_retries = 0; }
  void OnTimeout() override { m_retry ? RetryOrFail(m_retries) : FailAtOnce(); }
  std::vector<std::string> accepted;

 private:
  std::string m_prefix;
  bool m_retry;
  std::uint32_t m_retries = 0;
};

// First state fails at once when its port is missing, as an open-port state does.
class FailingStartState : public CState {
 public:
  using CState::CState;
  void Execute() override { Fail(kPortNameMissing); }
};

class TestMachine : public CStateMachine {
 public:
  explicit TestMachine(AppState& app, unsigned timerId = kTimerConnection)
      : CStateMachine(app, timerId),
        second(*this, "SecondState", &Final(), 500, "^sn;", "^SN", kNoResponseSerialNumber, false),
        first(*this, "FirstState", &second, 500, "^RV;", "^RV", kNoResponseRevision, true),
        empty(*this, "EmptyState", &first, 10),
        failing(*this, "FailingState", &first) {}

  void Log(const std::string& text) override { logged.push_back(text); }
  void Complete() override { NotifyCompletion(); }

  PrefixState second;
  PrefixState first;
  CommandState empty;
  FailingStartState failing;
  std::vector<std::string> logged;
};

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    t.OpenPort();
    auto m = std::make_unique<TestMachine>(*t.app);
    machine = m.get();
    t.app->SetConnectionMachine(std::move(m));
  }
  TestApp t;
  TestMachine* machine;
};

TEST_F(EngineTest, ResponseSplitOverThreeEventsIsHandedOverOnce) {
  machine->Start(machine->first);
  ASSERT_EQ(t.port->writes.back(), "^RV;");
  t.port->Deliver("^R");
  t.host.AdvanceBy(5);
  t.port->Deliver("V01");
  t.host.AdvanceBy(5);
  EXPECT_TRUE(machine->first.accepted.empty());
  t.port->Deliver(".23;");
  t.host.AdvanceBy(5);
  ASSERT_EQ(machine->first.accepted.size(), 1u);
  EXPECT_EQ(machine->first.accepted[0], "^RV01.23;");
  EXPECT_EQ(machine->Current(), &machine->second);
  EXPECT_EQ(t.port->writes.back(), "^sn;");
}

TEST_F(EngineTest, TwoResponsesInOneBurstAreReadOneAtATime) {
  machine->Start(machine->first);
  // The second answer arrives with the first; the reader stops at the first ";".
  t.port->rx = "^RV01.23;^SN00042;";
  machine->OnSerialEvent();
  ASSERT_EQ(machine->first.accepted.size(), 1u);
  EXPECT_TRUE(machine->second.accepted.empty());
  EXPECT_TRUE(t.port->rx.empty()) << "the next send purges what is still waiting";

  // Without a send in between, the rest is read on the next event.
  machine->Start(machine->first);
  t.port->rx = "^XX;^RV02.00;";
  machine->OnSerialEvent();
  EXPECT_EQ(machine->first.accepted.size(), 1u) << "\"^XX;\" is not a revision";
  EXPECT_EQ(t.port->rx, "^RV02.00;");
  machine->OnSerialEvent();
  EXPECT_EQ(machine->first.accepted.size(), 2u);
}

TEST_F(EngineTest, UnacceptedResponseKeepsTheTimerRunning) {
  machine->Start(machine->second);  // fails at once on time-out
  t.host.AdvanceBy(200);
  t.port->Deliver("^XX12;");
  t.host.AdvanceBy(299);
  EXPECT_FALSE(machine->IsIdle());
  t.host.AdvanceBy(1);
  EXPECT_TRUE(machine->IsIdle());
  EXPECT_EQ(machine->Result(), kNoResponseSerialNumber);
  EXPECT_EQ(t.host.TickCount(), 500u);
}

TEST_F(EngineTest, CancelDuringAWaitEndsAtTheNextSend) {
  machine->Start(machine->first);
  t.host.AdvanceBy(100);
  EXPECT_TRUE(machine->Cancel());
  EXPECT_FALSE(machine->IsIdle()) << "the present wait is not interrupted";
  const auto sent = t.port->writes.size();
  t.port->Deliver("^RV01.23;");
  t.host.AdvanceBy(1);
  EXPECT_TRUE(machine->IsIdle());
  EXPECT_EQ(machine->Result(), kErrorCancelled);
  EXPECT_EQ(t.port->writes.size(), sent) << "a cancelled machine sends nothing more";
  EXPECT_FALSE(t.host.IsTimerArmed(kTimerConnection));

  // Idle: false, result untouched.
  EXPECT_FALSE(machine->Cancel());
  EXPECT_EQ(machine->Result(), kErrorCancelled);
}

TEST_F(EngineTest, CancelAfterAFailureKeepsTheFirstCode) {
  machine->Start(machine->first);
  machine->SetResult(kNoResponseAfterReset);  // a state recorded a failure but has not ended yet
  EXPECT_TRUE(machine->Cancel());
  EXPECT_EQ(machine->Result(), kNoResponseAfterReset);
}

TEST_F(EngineTest, ForeignTimerIdChangesNothing) {
  machine->Start(machine->second);
  machine->OnTimer(kTimerOperate);
  EXPECT_EQ(machine->Current(), &machine->second);
  EXPECT_TRUE(t.host.IsTimerArmed(kTimerConnection));
  // Through the routing too: a running machine takes it and ignores it.
  EXPECT_TRUE(RouteTimer(*t.app, kTimerOperate));
  EXPECT_EQ(machine->Current(), &machine->second);
}

TEST_F(EngineTest, EmptyCommandPassesOnWithoutSendOrTimer) {
  machine->Start(machine->empty);
  EXPECT_EQ(machine->Current(), &machine->first);
  ASSERT_EQ(t.port->writes.size(), 1u);
  EXPECT_EQ(t.port->writes[0], "^RV;");
}

TEST_F(EngineTest, FailureInsideStartRunsTheFinalStateBeforeReturning) {
  RecordingListener listener;
  t.app->dialogueFinished.AddListenerQuiet(&listener);
  machine->Start(machine->failing);
  EXPECT_TRUE(machine->IsIdle());
  EXPECT_EQ(machine->Result(), kPortNameMissing);
  ASSERT_EQ(listener.messages.size(), 1u);
  EXPECT_EQ(listener.messages[0], std::make_pair(std::uint32_t{kIdDialogueFinished}, kPortNameMissing));
  EXPECT_TRUE(t.port->writes.empty());
  EXPECT_FALSE(t.host.IsTimerArmed(kTimerConnection));
}

TEST_F(EngineTest, StartIfIdleRefusesARunningMachineAndStartClearsTheResult) {
  machine->Start(machine->failing);
  ASSERT_EQ(machine->Result(), kPortNameMissing);
  EXPECT_TRUE(machine->StartIfIdle(machine->first));
  EXPECT_EQ(machine->Result(), 0u);
  EXPECT_FALSE(machine->StartIfIdle(machine->second));
  EXPECT_EQ(machine->Current(), &machine->first);
}

TEST_F(EngineTest, TraceLinesOnlyWhileTraceIsOnAndOnlyInTheMachinesLog) {
  machine->Start(machine->second);
  t.host.AdvanceBy(600);
  EXPECT_TRUE(machine->logged.empty());

  t.app->trace.Set(1);
  machine->Start(machine->second);
  t.host.AdvanceBy(120);
  t.port->Deliver("^SN00042;");
  t.host.AdvanceBy(1);
  ASSERT_EQ(machine->logged.size(), 2u);
  EXPECT_EQ(machine->logged[0], "SecondState Send \"^sn;\"");
  EXPECT_EQ(machine->logged[1], "SecondState Response \"^SN00042;\" 120 ms");
  EXPECT_TRUE(t.sink.lines.empty()) << "trace lines never reach the main window";

  machine->Start(machine->second);
  t.host.AdvanceBy(500);
  EXPECT_EQ(machine->logged.back(), "SecondState Timer Elapsed 500 ms");
}

TEST_F(EngineTest, ResponsesShowNonPrintableBytesEscaped) {
  EXPECT_EQ(PrintableForm(std::string("A\r\n\x7F\xFF~ ", 7)), "A\\x0D\\x0A\\x7F\\xFF~ ");
}

TEST(RoutingTest, ConnectionMachineFirstThenOperationMachineThenPage) {
  TestApp t;
  t.OpenPort();
  auto connection = std::make_unique<TestMachine>(*t.app, kTimerConnection);
  auto operation = std::make_unique<TestMachine>(*t.app, kTimerOperate);
  TestMachine* c = connection.get();
  TestMachine* o = operation.get();
  t.app->SetConnectionMachine(std::move(connection));
  ASSERT_TRUE(t.app->ReplaceOperationMachine(std::move(operation)));

  // Nothing runs: the page gets both.
  t.port->Deliver("x;");
  t.host.AdvanceBy(1);
  EXPECT_EQ(t.serialEventsForPage, 1);

  o->Start(o->second);
  c->Start(c->second);
  t.port->Deliver("^SN00001;");
  t.host.AdvanceBy(1);
  EXPECT_EQ(c->second.accepted.size(), 1u);
  EXPECT_TRUE(o->second.accepted.empty());
  EXPECT_TRUE(c->IsIdle());

  // Now the operation machine gets the events; its timer fires on its own id.
  t.port->Deliver("^SN00002;");
  t.host.AdvanceBy(1);
  EXPECT_EQ(o->second.accepted.size(), 1u);
  EXPECT_TRUE(o->IsIdle());

  // The page's own poll timer reaches the page only when no machine runs.
  t.host.SetTimer(kTimerOperatePage, 50);
  t.host.AdvanceBy(50);
  ASSERT_FALSE(t.timersForPage.empty());
  EXPECT_EQ(t.timersForPage.back(), unsigned{kTimerOperatePage});
  t.host.KillTimer(kTimerOperatePage);
}

// A machine that only says what reached it.
class RecordingDialogue : public Dialogue {
 public:
  RecordingDialogue(std::string name, std::vector<std::string>& seen, bool running)
      : m_name(std::move(name)), m_seen(seen), m_running(running) {}
  bool Cancel() override { return false; }
  bool IsIdle() const override { return !m_running; }
  void OnSerialEvent() override { m_seen.push_back(m_name + " serial"); }
  void OnTimer(unsigned id) override { m_seen.push_back(m_name + " timer " + std::to_string(id)); }
  unsigned TimerId() const override { return 0; }

 private:
  std::string m_name;
  std::vector<std::string>& m_seen;
  bool m_running;
};

TEST(RoutingTest, EventRouterOrder) {
  constexpr unsigned kTimer = 77;
  struct Case {
    const char* name;
    bool connectionRuns, operationRuns, filterTakes;
    std::vector<std::string> seen;  // after one timer expiry, then one serial event
  } cases[] = {
      {"nothing runs", false, false, false, {"filter 77", "page timer 77", "page serial"}},
      {"the page's own timer", true, true, true, {"filter 77", "connection serial"}},
      {"connection before operation", true, true, false, {"filter 77", "connection timer 77", "connection serial"}},
      {"operation alone", false, true, false, {"filter 77", "operation timer 77", "operation serial"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestApp t;
    std::vector<std::string> seen;
    t.app->SetConnectionMachine(std::make_unique<RecordingDialogue>("connection", seen, c.connectionRuns));
    ASSERT_TRUE(t.app->ReplaceOperationMachine(std::make_unique<RecordingDialogue>("operation", seen, c.operationRuns)));
    t.router->SetPageTimerFilter([&](unsigned id) {
      seen.push_back("filter " + std::to_string(id));
      return c.filterTakes;
    });
    t.router->SetPageTimerHandler([&](unsigned id) { seen.push_back("page timer " + std::to_string(id)); });
    t.router->SetPageSerialHandler([&] { seen.push_back("page serial"); });
    // Through the Host and the AppState: the router installed itself in both.
    t.host.SetTimer(kTimer, 10);
    t.host.AdvanceBy(10);
    t.host.KillTimer(kTimer);
    t.app->PostSerialEvent(0);
    t.host.RunPosted();
    EXPECT_EQ(seen, c.seen);

    // Gone: neither kind reaches anyone.
    t.router.reset();
    seen.clear();
    t.host.SetTimer(kTimer, 10);
    t.host.AdvanceBy(10);
    t.app->PostSerialEvent(0);
    t.host.RunPosted();
    EXPECT_TRUE(seen.empty());
  }
}

TEST(RoutingTest, ReplacingKeepsARunningMachineAndDestroyDefersDeletion) {
  TestApp t;
  t.OpenPort();
  auto first = std::make_unique<TestMachine>(*t.app, kTimerOperate);
  TestMachine* m = first.get();
  ASSERT_TRUE(t.app->ReplaceOperationMachine(std::move(first)));
  m->Start(m->second);
  EXPECT_FALSE(t.app->ReplaceOperationMachine(std::make_unique<TestMachine>(*t.app, kTimerOperate)));
  EXPECT_EQ(t.app->OperationMachine(), m);

  // Destroyed from inside its own completion (as a dialog closing on the finished notice would).
  struct Closer : Listener {
    TestMachine* machine;
    void OnNotify(std::uint32_t, std::uint32_t) override { machine->Destroy(); }
  } closer;
  closer.machine = m;
  t.app->dialogueFinished.AddListenerQuiet(&closer);
  t.host.AdvanceBy(500);  // time-out: fails, final state notifies, the listener destroys it
  EXPECT_EQ(t.app->OperationMachine(), nullptr);
  t.app->dialogueFinished.RemoveListener(&closer);
}

}  // namespace
}  // namespace tola::test
