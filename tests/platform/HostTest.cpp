#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <poll.h>
#include <unistd.h>

#include "platform/PollHost.h"
#include "platform/VirtualHost.h"

namespace tola {
namespace {

TEST(VirtualHostTest, TimersFireInDeadlineOrderAndRepeatUntilKilled) {
  VirtualHost host;
  std::vector<std::pair<unsigned, std::uint32_t>> fired;
  host.SetTimerHandler([&](unsigned id) {
    fired.emplace_back(id, host.TickCount());
    if (id == 6 && fired.size() >= 3) host.KillTimer(6);
  });
  host.SetTimer(23, 100);
  host.SetTimer(6, 30);
  host.AdvanceBy(99);
  ASSERT_EQ(fired.size(), 3u);
  EXPECT_EQ(fired[0], std::make_pair(6u, 30u));
  EXPECT_EQ(fired[1], std::make_pair(6u, 60u));
  EXPECT_EQ(fired[2], std::make_pair(6u, 90u));
  host.AdvanceBy(1);
  ASSERT_EQ(fired.size(), 4u);
  EXPECT_EQ(fired[3], std::make_pair(23u, 100u));
  EXPECT_FALSE(host.IsTimerArmed(6));
  EXPECT_TRUE(host.IsTimerArmed(23));
}

TEST(VirtualHostTest, ReArmingReplacesThePendingTimer) {
  VirtualHost host;
  std::vector<std::uint32_t> at;
  host.SetTimerHandler([&](unsigned id) {
    at.push_back(host.TickCount());
    host.KillTimer(id);
  });
  host.SetTimer(10, 500);
  host.AdvanceBy(400);
  host.SetTimer(10, 500);
  host.AdvanceBy(499);
  EXPECT_TRUE(at.empty());
  host.AdvanceBy(1);
  EXPECT_EQ(at, std::vector<std::uint32_t>{900});
}

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

TEST(VirtualHostTest, CancelledEventsAndRunUntil) {
  VirtualHost host;
  int runs = 0;
  const auto handle = host.ScheduleAfter(1000, [&] { ++runs; });
  host.ScheduleAfter(2000, [&] { ++runs; });
  host.Cancel(handle);
  EXPECT_TRUE(host.RunUntil([&] { return runs == 1; }, 10));
  EXPECT_EQ(host.TickCount(), 2u);
  EXPECT_FALSE(host.RunUntil([&] { return runs == 2; }, 100));
  EXPECT_EQ(host.TickCount(), 102u);
}

TEST(VirtualHostTest, ScriptedBoxesAnswerAndUnexpectedOnesAreReported) {
  VirtualHost host;
  std::vector<std::string> unexpected;
  host.SetUnexpectedBoxHandler([&](const VirtualHost::BoxRecord& b) { unexpected.push_back(b.text); });
  host.ExpectBox("create it now", BoxAnswer::Yes);
  EXPECT_EQ(host.MessageBox("Folder \"x\" does not exist. Do you want to create it now?", "Create folder",
                            BoxButtons::YesNo, BoxIcon::Information),
            BoxAnswer::Yes);
  EXPECT_TRUE(host.AllBoxesShown());
  EXPECT_EQ(host.MessageBox("Surprise", "Caption", BoxButtons::YesNo, BoxIcon::Error), BoxAnswer::No);
  EXPECT_EQ(unexpected, std::vector<std::string>{"Surprise"});
}

TEST(PollHostTest, PostedWorkFromAnotherThreadWakesTheLoop) {
  PollHost host;
  std::atomic<int> done{0};
  std::thread other([&] { host.Post([&] { done = 1; }); });
  EXPECT_TRUE(host.RunUntil([&] { return done.load() == 1; }, 5000));
  other.join();
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

}  // namespace
}  // namespace tola
