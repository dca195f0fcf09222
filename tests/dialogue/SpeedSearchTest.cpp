#include <gtest/gtest.h>

#include "dialogue/SpeedStates.h"
#include "support/SimApp.h"

namespace tola::test {
namespace {

// The times at which a machine sent ";" and the speed it sent it at.
struct Poll {
  std::uint32_t atMs, speed;
};

class PollRecorder {
 public:
  PollRecorder(SimApp& s, CStateMachine& machine) {
    s.app->trace.Set(1);
    machine.SetTraceHook([this, &s](const std::string& line) {
      if (line.find("Send \";\"") != std::string::npos) polls.push_back({s.host.TickCount(), s.port->Speed()});
    });
  }
  std::vector<std::uint32_t> SpeedsPolled() const {
    std::vector<std::uint32_t> speeds;
    for (const auto& p : polls) speeds.push_back(p.speed);
    return speeds;
  }
  std::vector<Poll> polls;
};

// Each of `speeds` `times` over, the whole `cycles` over.
std::vector<std::uint32_t> Repeat(std::initializer_list<std::uint32_t> speeds, int times, int cycles = 1) {
  std::vector<std::uint32_t> out;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    for (auto s : speeds) out.insert(out.end(), static_cast<std::size_t>(times), s);
  }
  return out;
}

TEST(EstablishContactTest, FindsAnAmplifierAt4800AfterFourPollsAtEachFasterSpeed) {
  Tola400Options options;
  options.speed = 4800;
  SimApp s(options);
  PollRecorder recorder(s, *s.connection);
  RecordingListener listener;
  s.app->ConnectionStateValue().AddListenerQuiet(&listener);
  ASSERT_TRUE(s.RunTest());
  EXPECT_EQ(s.connection->Result(), 0u);
  EXPECT_EQ(listener.messages.size(), 1u) << "the state changes once, to firmware";
  EXPECT_EQ(s.sink.lines.front().text, "Serial Port ttySIM0 is open");
  auto polls = recorder.SpeedsPolled();
  ASSERT_GE(polls.size(), 13u);
  polls.resize(13);
  auto expected = Repeat({38400, 19200, 9600}, 4);
  expected.push_back(4800);
  EXPECT_EQ(polls, expected);
  EXPECT_EQ(s.LinesContaining("Attempting to contact").size(), 4u) << "one line per speed tried";
  EXPECT_EQ(s.app->ConnectionState(), kConnectionFirmware);
  EXPECT_EQ(s.port->Speed(), 4800u);
}

TEST(EstablishContactTest, WithNothingConnectedTheWaitGrowsEachCycleUpToFiveSeconds) {
  SimApp s({}, false);
  PollRecorder recorder(s, *s.connection);
  s.connection->StartTest();
  s.host.AdvanceBy(12 * 16 * 5200);
  EXPECT_FALSE(s.connection->IsIdle()) << "the contact search never gives up";

  // Within a speed the polls are one wait apart; a cycle is 16 polls.
  const std::vector<std::uint32_t> expected{100, 150, 225, 337, 505, 757, 1135, 1702, 2553, 3829, 5000, 5000};
  ASSERT_GE(recorder.polls.size(), expected.size() * 16);
  for (std::size_t cycle = 0; cycle < expected.size(); ++cycle) {
    const std::size_t first = cycle * 16;
    EXPECT_EQ(recorder.polls[first].speed, 38400u) << "cycle " << cycle;
    EXPECT_EQ(recorder.polls[first + 1].atMs - recorder.polls[first].atMs, expected[cycle]) << "cycle " << cycle;
    EXPECT_EQ(recorder.polls[first + 15].speed, 4800u);
  }
  s.connection->StartClosePort();
}

// A machine that runs one search state and ends.
template <typename SearchState>
class SearchMachine : public CStateMachine {
 public:
  explicit SearchMachine(AppState& app) : CStateMachine(app, kTimerConfigSave), search(*this, &Final()) {}
  SearchState search;
};

// Installed as the operation machine, so that its timer reaches it, on an open port.
template <typename SearchState>
SearchMachine<SearchState>& Install(SimApp& s) {
  s.app->SerialPort().Open("ttySIM0");
  s.app->portOpen.Change(1);
  auto machine = std::make_unique<SearchMachine<SearchState>>(*s.app);
  auto& ref = *machine;
  EXPECT_TRUE(s.app->ReplaceOperationMachine(std::move(machine)));
  return ref;
}

TEST(DetermineSpeedTest, GivesUpAfterTwentySpeedsAt4800) {
  SimApp s({}, false);
  auto& m = Install<DetermineSpeedState>(s);
  PollRecorder recorder(s, m);
  m.Start(m.search);
  ASSERT_TRUE(s.host.RunUntil([&] { return m.IsIdle(); }, 20000));
  EXPECT_EQ(m.Result(), kNoResponseAfterReset);
  EXPECT_EQ(recorder.polls.size(), 80u);
  EXPECT_EQ(s.port->Speed(), 4800u);
  EXPECT_EQ(recorder.SpeedsPolled(), Repeat({38400, 19200, 9600, 4800}, 4, 5));
}

TEST(OperateDetermineSpeedTest, OneCycleFromTheStartSpeedThenFails) {
  SimApp s({}, false);
  auto& m = Install<OperateDetermineSpeedState>(s);
  s.app->SetPortSpeed(9600);
  PollRecorder recorder(s, m);
  m.Start(m.search);
  ASSERT_TRUE(s.host.RunUntil([&] { return m.IsIdle(); }, 20000));
  EXPECT_EQ(m.Result(), kNoResponseSemicolonPoll);
  EXPECT_EQ(recorder.SpeedsPolled(), Repeat({9600, 4800, 38400, 19200}, 4));
  EXPECT_EQ(s.port->Speed(), 9600u);
}

TEST(AmplifierSpeedTest, SetAmplifierSpeedMovesBothEndsOnlyWithTheFirmwareRunning) {
  SimApp s;
  ASSERT_TRUE(s.RunTest());
  ASSERT_EQ(s.app->ConnectionState(), kConnectionFirmware);
  const auto sent = s.port->Sent().size();
  s.app->SetAmplifierSpeed(38400);
  EXPECT_EQ(s.port->Sent().size(), sent) << "same speed: nothing sent";

  s.app->SetAmplifierSpeed(9600);
  EXPECT_EQ(s.port->Sent().substr(sent), "^brp1;");
  s.host.AdvanceBy(100);
  EXPECT_EQ(s.model->Speed(), 9600u);
  EXPECT_EQ(s.port->Speed(), 9600u);

  // Without the firmware (state 0) only the port moves.
  s.connection->StartClosePort();
  EXPECT_FALSE(s.app->SendSpeedCommand(4800));
}

}  // namespace
}  // namespace tola::test
