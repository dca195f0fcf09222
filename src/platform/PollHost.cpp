#include "platform/PollHost.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace tola {

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
  Wake();
}

BoxAnswer PollHost::MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                               BoxIcon icon, BoxAnswer defaultButton) {
  if (m_answerer) return m_answerer(text, caption, buttons, icon, defaultButton);
  // Nobody to ask: the box's default, as an operator pressing Enter would get.
  if (defaultButton != BoxAnswer::None) return defaultButton;
  return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void PollHost::Quit() {
  m_quit = true;
  Wake();
}

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
    m_posted.RunAll();
    if (m_quit || (done && done())) return true;
    RunDueTimers();
    m_posted.RunAll();
    if (m_quit || (done && done())) return true;
    if (hasLimit && Clock::now() >= limit) return false;
    if (!Wait(NextTimeoutMs(limit, hasLimit))) return false;
  }
}

bool PollHost::Run(std::uint32_t limitMs) { return Loop(nullptr, limitMs); }

bool PollHost::RunUntil(const std::function<bool()>& done, std::uint32_t limitMs) {
  return Loop(done, limitMs);
}

}  // namespace tola
