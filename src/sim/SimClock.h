#pragma once
// The time base the amplifier model and the links around it run on: a microsecond clock and a way
// to run work at a given time. One implementation follows a VirtualHost's virtual clock (tests), one
// follows the real monotonic clock inside a PollHost loop (the simulator program).

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "platform/PollHost.h"
#include "platform/VirtualHost.h"

namespace tola {

class SimClock {
 public:
  virtual ~SimClock() = default;
  virtual std::uint64_t NowMicros() const = 0;
  // Runs `fn` when the clock reaches `atUs` (at once if that is past). Work scheduled for the same
  // time runs in the order it was scheduled. Returns a handle for Cancel.
  virtual std::uint64_t ScheduleAt(std::uint64_t atUs, std::function<void()> fn) = 0;
  virtual void Cancel(std::uint64_t handle) = 0;

  std::uint64_t ScheduleAfter(std::uint64_t delayUs, std::function<void()> fn) {
    return ScheduleAt(NowMicros() + delayUs, std::move(fn));
  }
};

class VirtualHostClock final : public SimClock {
 public:
  explicit VirtualHostClock(VirtualHost& host) : m_host(host) {}
  std::uint64_t NowMicros() const override { return m_host.NowMicros(); }
  std::uint64_t ScheduleAt(std::uint64_t atUs, std::function<void()> fn) override {
    return m_host.ScheduleAt(atUs, std::move(fn));
  }
  void Cancel(std::uint64_t handle) override { m_host.Cancel(handle); }

 private:
  VirtualHost& m_host;
};

// Real time on a PollHost: a timerfd watched by the loop gives microsecond deadlines, which the
// host's millisecond window timers cannot (a byte at 38,400 bit/s lasts 260 us).
class PollHostClock final : public SimClock {
 public:
  explicit PollHostClock(PollHost& host);
  ~PollHostClock() override;
  PollHostClock(const PollHostClock&) = delete;
  PollHostClock& operator=(const PollHostClock&) = delete;

  std::uint64_t NowMicros() const override;
  std::uint64_t ScheduleAt(std::uint64_t atUs, std::function<void()> fn) override;
  void Cancel(std::uint64_t handle) override;
  // False when the timerfd could not be made; nothing scheduled will then run.
  bool Valid() const { return m_timerFd >= 0; }

 private:
  void OnTimerReady();
  void Arm();

  PollHost& m_host;
  int m_timerFd = -1;
  std::uint64_t m_startUs = 0;  // the monotonic clock at construction
  std::uint64_t m_nextSeq = 1;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> m_events;  // (time, seq)
  std::map<std::uint64_t, std::uint64_t> m_timeOfSeq;
  bool m_dispatching = false;
};

// Time one byte takes on the line: a start bit, 8 data bits and a stop bit, rounded up to whole
// microseconds.
constexpr std::uint64_t ByteTimeMicros(std::uint32_t speed) {
  return speed == 0 ? 0 : (10'000'000ULL + speed - 1) / speed;
}

}  // namespace tola
