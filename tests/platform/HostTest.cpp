#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include "platform/PollHost.h"
#include "platform/VirtualHost.h"

namespace tola {
namespace {

TEST(VirtualHostTest, SleepMovesTheClockAndLetsTheWorldRunButNotTimers) {
  VirtualHost host;
  std::vector<std::string> seen;
  host.SetTimerHandler([&](unsigned) {
    seen.push_back("timer@" + std::to_string(host.TickCount()));
    host.KillTimer(1);
  });
  host.SetTimer(1, 20);
  host.ScheduleAfter(30000, [&] { seen.push_back("byte@" + std::to_string(host.TickCount())); });
  host.Sleep(50);
  EXPECT_EQ(seen, std::vector<std::string>{"byte@30"});
  EXPECT_EQ(host.TickCount(), 50u);
  host.AdvanceBy(0);
  EXPECT_EQ(seen.back(), "timer@50") << "an overdue timer fires when the thread is free again";
}

TEST(PollHostTest, TimersAndWatchedDescriptors) {
  PollHost host;
  std::vector<unsigned> fired;
  host.SetTimerHandler([&](unsigned id) {
    fired.push_back(id);
    host.KillTimer(id);
  });
  host.SetTimer(2, 40);
  host.SetTimer(1, 10);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string got;
  host.WatchFd(fds[0], POLLIN, [&](short) {
    char c;
    if (::read(fds[0], &c, 1) == 1) got.push_back(c);
  });
  ASSERT_EQ(::write(fds[1], "z", 1), 1);
  EXPECT_TRUE(host.RunUntil([&] { return fired.size() == 2 && got == "z"; }, 5000));
  EXPECT_EQ(fired, (std::vector<unsigned>{1, 2}));
  EXPECT_GE(host.TickCount(), 40u);
  host.UnwatchFd(fds[0]);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(PollHostTest, ABoxNobodyAnswersTakesItsDefault) {
  PollHost host;
  EXPECT_EQ(host.MessageBox("Stop?", "Question", BoxButtons::YesNo, BoxIcon::Warning, BoxAnswer::No), BoxAnswer::No);
  EXPECT_EQ(host.MessageBox("Go on?", "Question", BoxButtons::YesNo, BoxIcon::Question, BoxAnswer::Yes),
            BoxAnswer::Yes);
  BoxAnswer handed = BoxAnswer::None;
  host.SetAnswerer([&](const std::string&, const std::string&, BoxButtons, BoxIcon, BoxAnswer defaultButton) {
    handed = defaultButton;
    return BoxAnswer::Yes;
  });
  host.MessageBox("Stop?", "Question", BoxButtons::YesNo, BoxIcon::Warning, BoxAnswer::No);
  EXPECT_EQ(handed, BoxAnswer::No) << "the answerer is told the default";
}

}  // namespace
}  // namespace tola
