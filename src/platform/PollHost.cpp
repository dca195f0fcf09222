#include "platform/PollHost.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>
#include <vector>

namespace tola {

PollHost::PollHost() : m_start(Clock::now()) {
  m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PollHost::~PollHost() {
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

void PollHost::SetTimer(unsigned id, std::uint32_t ms) {
  m_timers[id] = Timer{ms, Clock::now() + std::chrono::milliseconds(ms)};
}

void PollHost::KillTimer(unsigned id) { m_timers.erase(id); }

std::uint32_t PollHost::TickCount() const {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count());
}

void PollHost::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PollHost::Post(std::function<void()> work) {
  m_posted.Add(std::move(work));
  const std::uint64_t one = 1;
  // A full counter still wakes the loop; nothing to do on failure.
  [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

LocalTime PollHost::Now() const {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  ::localtime_r(&ts.tv_sec, &parts);
  LocalTime t;
  t.year = static_cast<unsigned>(parts.tm_year + 1900);
  t.month = static_cast<unsigned>(parts.tm_mon + 1);
  t.day = static_cast<unsigned>(parts.tm_mday);
  t.hour = static_cast<unsigned>(parts.tm_hour);
  t.minute = static_cast<unsigned>(parts.tm_min);
  t.second = static_cast<unsigned>(parts.tm_sec);
  t.millisecond = static_cast<unsigned>(ts.tv_nsec / 1000000);
  return t;
}

BoxAnswer PollHost::MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                               BoxIcon icon, BoxAnswer defaultButton) {
  if (m_answerer) return m_answerer(text, caption, buttons, icon, defaultButton);
  // Nobody to ask: the box's default, as an operator pressing Enter would get.
  if (defaultButton != BoxAnswer::None) return defaultButton;
  return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void PollHost::WatchFd(int fd, short events, std::function<void(short)> onReady) {
  m_fds[fd] = {events, std::move(onReady)};
}

void PollHost::UnwatchFd(int fd) { m_fds.erase(fd); }

void PollHost::Quit() {
  m_quit = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void PollHost::RunPosted() { m_posted.RunAll(); }

void PollHost::RunDueTimers() {
  const auto now = Clock::now();
  std::vector<unsigned> due;
  for (const auto& [id, timer] : m_timers) {
    if (timer.due <= now) due.push_back(id);
  }
  // Earliest deadline first, as a window's timer queue would deliver them.
  std::sort(due.begin(), due.end(), [this](unsigned a, unsigned b) {
    return m_timers[a].due < m_timers[b].due;
  });
  for (unsigned id : due) {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || it->second.due > now) continue;  // killed or re-armed meanwhile
    it->second.due = now + std::chrono::milliseconds(it->second.periodMs);
    DeliverTimer(id);
  }
}

int PollHost::NextTimeoutMs(Clock::time_point limit, bool hasLimit) const {
  auto next = Clock::time_point::max();
  for (const auto& [id, timer] : m_timers) next = std::min(next, timer.due);
  if (hasLimit) next = std::min(next, limit);
  if (next == Clock::time_point::max()) return -1;
  const auto now = Clock::now();
  if (next <= now) return 0;
  // Round up so that a wake-up never comes before the deadline.
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(next - now).count();
  return static_cast<int>((us + 999) / 1000);
}

bool PollHost::Loop(const std::function<bool()>& done, std::uint32_t limitMs) {
  m_quit = false;
  const bool hasLimit = limitMs != 0;
  const auto limit = Clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    RunPosted();
    if (m_quit || (done && done())) return true;
    RunDueTimers();
    RunPosted();
    if (m_quit || (done && done())) return true;
    if (hasLimit && Clock::now() >= limit) return false;

    std::vector<pollfd> fds;
    fds.push_back(pollfd{m_wakeFd, POLLIN, 0});
    for (const auto& [fd, watch] : m_fds) fds.push_back(pollfd{fd, watch.first, 0});
    const int timeout = NextTimeoutMs(limit, hasLimit);
    const int n = ::poll(fds.data(), fds.size(), timeout);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] ssize_t r = ::read(m_wakeFd, &count, sizeof count);
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      auto it = m_fds.find(fds[i].fd);
      if (it == m_fds.end()) continue;  // unwatched by an earlier callback
      auto callback = it->second.second;
      callback(fds[i].revents);
    }
  }
}

bool PollHost::Run(std::uint32_t limitMs) { return Loop(nullptr, limitMs); }

bool PollHost::RunUntil(const std::function<bool()>& done, std::uint32_t limitMs) {
  return Loop(done, limitMs);
}

}  // namespace tola
