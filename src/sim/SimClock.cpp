#include "sim/SimClock.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

namespace tola {

namespace {
std::uint64_t MonotonicMicros() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000ULL +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000ULL;
}
}  // namespace

PollHostClock::PollHostClock(PollHost& host) : m_host(host), m_startUs(MonotonicMicros()) {
  m_timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (m_timerFd >= 0) m_host.WatchFd(m_timerFd, POLLIN, [this](short) { OnTimerReady(); });
}

PollHostClock::~PollHostClock() {
  if (m_timerFd >= 0) {
    m_host.UnwatchFd(m_timerFd);
    ::close(m_timerFd);
  }
}

std::uint64_t PollHostClock::NowMicros() const { return MonotonicMicros() - m_startUs; }

std::uint64_t PollHostClock::ScheduleAt(std::uint64_t atUs, std::function<void()> fn) {
  const std::uint64_t seq = m_nextSeq++;
  m_events.emplace(std::make_pair(atUs, seq), std::move(fn));
  m_timeOfSeq.emplace(seq, atUs);
  // While due work runs, the deadline is set once at the end instead of once per new event.
  if (!m_dispatching) Arm();
  return seq;
}

void PollHostClock::Cancel(std::uint64_t handle) {
  auto it = m_timeOfSeq.find(handle);
  if (it == m_timeOfSeq.end()) return;
  m_events.erase(std::make_pair(it->second, handle));
  m_timeOfSeq.erase(it);
}

void PollHostClock::Arm() {
  if (m_timerFd < 0) return;
  itimerspec deadline{};
  if (!m_events.empty()) {
    // Absolute deadline; one already past fires at once. A zero value would disarm, so never 0.
    const std::uint64_t at = m_startUs + m_events.begin()->first.first;
    deadline.it_value.tv_sec = static_cast<time_t>(at / 1'000'000ULL);
    deadline.it_value.tv_nsec = static_cast<long>((at % 1'000'000ULL) * 1000ULL);
    if (deadline.it_value.tv_sec == 0 && deadline.it_value.tv_nsec == 0) deadline.it_value.tv_nsec = 1;
  }
  ::timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &deadline, nullptr);
}

void PollHostClock::OnTimerReady() {
  std::uint64_t expirations = 0;
  [[maybe_unused]] ssize_t n = ::read(m_timerFd, &expirations, sizeof expirations);
  m_dispatching = true;
  for (;;) {
    if (m_events.empty()) break;
    auto it = m_events.begin();
    if (it->first.first > NowMicros()) break;
    auto fn = std::move(it->second);
    m_timeOfSeq.erase(it->first.second);
    m_events.erase(it);
    fn();
  }
  m_dispatching = false;
  Arm();
}

}  // namespace tola
