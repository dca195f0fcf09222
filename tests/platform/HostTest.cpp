#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "InputPipe.h"
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

TEST(PollHostTest, TimersFireInDeadlineOrderAndWorkPostedFromAnotherThreadWakesTheLoop) {
  PollHost host;
  std::vector<std::string> seen;
  std::uint32_t postedAt = 0;
  host.SetTimerHandler([&](unsigned id) {
    seen.push_back("timer " + std::to_string(id));
    host.KillTimer(id);
  });
  host.SetTimer(2, 60);
  host.SetTimer(1, 10);
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    host.Post([&] {
      seen.push_back("posted");
      postedAt = host.TickCount();
    });
  });
  EXPECT_TRUE(host.RunUntil([&] { return seen.size() == 3; }, 5000));
  poster.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"timer 1", "posted", "timer 2"}));
  EXPECT_LT(postedAt, 60u) << "the loop woke for the work, not for the next timer";
  EXPECT_GE(host.TickCount(), 60u);
}

TEST(PollHostTest, QuitFromAnotherThreadEndsTheLoopAndTheLimitEndsItOtherwise) {
  PollHost host;
  std::thread quitter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    host.Quit();
  });
  EXPECT_TRUE(host.Run(5000));
  quitter.join();
  const auto start = host.TickCount();
  EXPECT_FALSE(host.Run(50));
  EXPECT_GE(host.TickCount() - start, 50u);
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

TEST(PollHostTest, InputArrivesOnlyWhileWatchedAndItsEndAsAnEmptyPiece) {
  test::InputPipe input;
  PollHost host;
  std::string got;
  int ends = 0;
  auto watch = [&] {
    host.WatchInput([&](std::string_view bytes) {
      if (bytes.empty()) ++ends;
      got += bytes;
    });
  };
  watch();
  input.Write("y\n");
  ASSERT_TRUE(host.RunUntil([&] { return got == "y\n"; }, 5000)) << got;

  host.UnwatchInput();
  input.Write("n\n");
  host.Run(100);
  EXPECT_EQ(got, "y\n") << "nothing is delivered while nobody watches";
  watch();
  ASSERT_TRUE(host.RunUntil([&] { return got == "y\nn\n"; }, 5000)) << "nor is anything lost: " << got;

  input.Close();
  ASSERT_TRUE(host.RunUntil([&] { return ends == 1; }, 5000));
  host.Run(100);
  EXPECT_EQ(ends, 1) << "the end is told once, and ends the watch";
}

}  // namespace
}  // namespace tola
