#pragma once
// A real-time Host for the command line, the simulator and end-to-end tests: one thread running a
// loop that sleeps in the system's wait until posted work, a timer or input is due. Questions go to
// an answerer the program provides; without one a box takes its default.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Host.h"
#include "platform/PostedWork.h"

namespace tola {

class PollHost : public Host {
 public:
  // Answers a box; `defaultButton` is the box's default (None when it has none).
  using Answerer = std::function<BoxAnswer(const std::string& text, const std::string& caption,
                                           BoxButtons buttons, BoxIcon icon, BoxAnswer defaultButton)>;

  PollHost();
  ~PollHost() override;
  PollHost(const PollHost&) = delete;
  PollHost& operator=(const PollHost&) = delete;

  void SetTimer(unsigned id, std::uint32_t ms) override;
  void KillTimer(unsigned id) override;
  std::uint32_t TickCount() const override;
  void Sleep(std::uint32_t ms) override;
  void Post(std::function<void()> work) override;
  LocalTime Now() const override;
  using Host::MessageBox;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override;

  void SetAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

  // Ctrl+C, or the system asking the program to end, calls `onInterrupt` on the loop thread from
  // now until the host goes.
  void CatchInterrupts(std::function<void()> onInterrupt);

  // Bytes arriving on standard input go to `onBytes` on the loop thread while watched; an empty
  // piece says the input has ended (and ends the watch). Input is not read while nobody watches,
  // apart from at most one read already under way.
  void WatchInput(std::function<void(std::string_view bytes)> onBytes);
  void UnwatchInput();

  // POSIX only (the simulator, the Linux tests): calls `onReady(revents)` on the loop thread
  // whenever poll() reports `events` on `fd`.
  void WatchFd(int fd, short events, std::function<void(short revents)> onReady);
  void UnwatchFd(int fd);

  // Runs the loop until Quit (from any thread) or until `limitMs` passes (0 = no limit).
  // Returns false when the limit ended it.
  bool Run(std::uint32_t limitMs = 0);
  // Runs until `done` holds, checking after every wake-up; false on the limit.
  bool RunUntil(const std::function<bool()>& done, std::uint32_t limitMs);
  void Quit();

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::uint32_t periodMs;
    Clock::time_point due;
  };
  // The system's side: the wait and its wake-up, interrupts, standard input (one file per system).
  struct Platform;

  bool Loop(const std::function<bool()>& done, std::uint32_t limitMs);
  void RunDueTimers();
  int NextTimeoutMs(Clock::time_point limit, bool hasLimit) const;
  // Defined per system: wakes a wait in progress (any thread); waits up to `timeoutMs` (-1: no
  // limit) and handles what became ready; false when waiting failed.
  void Wake();
  bool Wait(int timeoutMs);

  std::unique_ptr<Platform> m_platform;
  std::atomic<bool> m_quit{false};
  Clock::time_point m_start;
  std::map<unsigned, Timer> m_timers;
  PostedWork m_posted;
  Answerer m_answerer;
};

}  // namespace tola
