#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include "platform/PollHost.h"

namespace tola {
namespace {

TEST(PollHostPosixTest, WatchedDescriptorsBesideTimers) {
  PollHost host;
  std::vector<unsigned> fired;
  host.SetTimerHandler([&](unsigned id) {
    fired.push_back(id);
    host.KillTimer(id);
  });
  host.SetTimer(1, 10);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string got;
  host.WatchFd(fds[0], POLLIN, [&](short) {
    char c;
    if (::read(fds[0], &c, 1) == 1) got.push_back(c);
  });
  ASSERT_EQ(::write(fds[1], "z", 1), 1);
  EXPECT_TRUE(host.RunUntil([&] { return fired.size() == 1 && got == "z"; }, 5000));
  host.UnwatchFd(fds[0]);
  ASSERT_EQ(::write(fds[1], "q", 1), 1);
  host.Run(50);
  EXPECT_EQ(got, "z") << "an unwatched descriptor is left alone";
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(PollHostPosixTest, CtrlCAndTerminationReachTheLoop) {
  PollHost host;
  int interrupts = 0;
  host.CatchInterrupts([&] { ++interrupts; });
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const int before = interrupts;
    ASSERT_EQ(::raise(signal), 0);
    EXPECT_TRUE(host.RunUntil([&] { return interrupts == before + 1; }, 5000));
  }
}

}  // namespace
}  // namespace tola
