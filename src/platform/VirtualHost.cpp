#include "platform/VirtualHost.h"

#include <utility>

namespace tola {

namespace {
// Events the UI thread runs (timers) wait while the UI thread sleeps; the rest of the world
// (the amplifier, the wire) goes on. The flag rides in the top bit of the sequence number.
constexpr std::uint64_t kUiFlag = std::uint64_t{1} << 63;
}  // namespace

VirtualHost::VirtualHost() = default;
VirtualHost::~VirtualHost() = default;

std::uint64_t VirtualHost::ScheduleAt(std::uint64_t atUs, std::function<void()> fn) {
  const std::uint64_t seq = m_nextSeq++;
  m_pending.emplace(seq, std::move(fn));
  m_queue.push(Event{atUs < m_nowUs ? m_nowUs : atUs, seq});
  return seq;
}

void VirtualHost::Cancel(std::uint64_t handle) { m_pending.erase(handle & ~kUiFlag); }

void VirtualHost::ArmTimer(unsigned id, std::uint32_t ms) {
  const std::uint64_t seq = m_nextSeq++;
  m_pending.emplace(seq, [this, id, seq] {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || it->second.handle != seq) return;
    // Re-arm first: a window timer repeats unless the handler kills or replaces it.
    ArmTimer(id, it->second.periodMs);
    DeliverTimer(id);
  });
  m_timers[id] = Timer{ms, seq};
  m_queue.push(Event{m_nowUs + std::uint64_t{ms} * 1000, seq | kUiFlag});
}

void VirtualHost::SetTimer(unsigned id, std::uint32_t ms) {
  KillTimer(id);
  ArmTimer(id, ms);
}

void VirtualHost::KillTimer(unsigned id) {
  auto it = m_timers.find(id);
  if (it == m_timers.end()) return;
  m_pending.erase(it->second.handle);
  m_timers.erase(it);
}

std::uint32_t VirtualHost::TickCount() const { return static_cast<std::uint32_t>(m_nowUs / 1000); }

void VirtualHost::Sleep(std::uint32_t ms) {
  const std::uint64_t until = m_nowUs + std::uint64_t{ms} * 1000;
  std::vector<Event> held;
  while (!m_queue.empty() && m_queue.top().atUs <= until) {
    const Event e = m_queue.top();
    m_queue.pop();
    if (e.seq & kUiFlag) {
      held.push_back(e);
      continue;
    }
    auto it = m_pending.find(e.seq);
    if (it == m_pending.end()) continue;
    auto fn = std::move(it->second);
    m_pending.erase(it);
    m_nowUs = e.atUs;
    fn();
  }
  for (const Event& e : held) m_queue.push(e);
  m_nowUs = until;
}

void VirtualHost::Post(std::function<void()> work) {
  m_posted.Add(std::move(work));
}

void VirtualHost::RunPosted() { m_posted.RunAll(); }

bool VirtualHost::RunOneDue(std::uint64_t untilUs) {
  while (!m_queue.empty()) {
    const Event e = m_queue.top();
    if (e.atUs > untilUs) return false;
    m_queue.pop();
    auto it = m_pending.find(e.seq & ~kUiFlag);
    if (it == m_pending.end()) continue;
    auto fn = std::move(it->second);
    m_pending.erase(it);
    if (e.atUs > m_nowUs) m_nowUs = e.atUs;
    fn();
    return true;
  }
  return false;
}

void VirtualHost::AdvanceByMicros(std::uint64_t us) {
  const std::uint64_t until = m_nowUs + us;
  RunPosted();
  while (RunOneDue(until)) RunPosted();
  if (m_nowUs < until) m_nowUs = until;
  RunPosted();
}

void VirtualHost::AdvanceBy(std::uint32_t ms) { AdvanceByMicros(std::uint64_t{ms} * 1000); }

bool VirtualHost::RunUntil(const std::function<bool()>& done, std::uint32_t limitMs) {
  const std::uint64_t until = m_nowUs + std::uint64_t{limitMs} * 1000;
  RunPosted();
  if (done()) return true;
  while (RunOneDue(until)) {
    RunPosted();
    if (done()) return true;
  }
  if (m_nowUs < until) m_nowUs = until;
  RunPosted();
  return done();
}

LocalTime VirtualHost::Now() const {
  LocalTime t = m_startTime;
  std::uint64_t ms = m_nowUs / 1000 + t.millisecond + 1000ULL * (t.second + 60ULL * (t.minute + 60ULL * t.hour));
  t.millisecond = static_cast<unsigned>(ms % 1000);
  ms /= 1000;
  t.second = static_cast<unsigned>(ms % 60);
  ms /= 60;
  t.minute = static_cast<unsigned>(ms % 60);
  ms /= 60;
  t.hour = static_cast<unsigned>(ms % 24);
  return t;
}

void VirtualHost::ExpectBox(std::string textPart, BoxAnswer answer) {
  m_script.push_back(ScriptEntry{std::move(textPart), answer});
}

BoxAnswer VirtualHost::MessageBox(const std::string& text, const std::string& caption,
                                  BoxButtons buttons, BoxIcon icon, BoxAnswer defaultButton) {
  BoxRecord record{text, caption, buttons, icon, BoxAnswer::None, defaultButton};
  if (!m_script.empty() && text.find(m_script.front().textPart) != std::string::npos) {
    record.answer = m_script.front().answer;
    m_script.pop_front();
  } else {
    switch (buttons) {
      case BoxButtons::Ok: record.answer = BoxAnswer::Ok; break;
      case BoxButtons::YesNo: record.answer = BoxAnswer::No; break;
      default: record.answer = BoxAnswer::Cancel; break;
    }
    if (m_unexpected) m_unexpected(record);
  }
  m_boxes.push_back(record);
  return record.answer;
}

}  // namespace tola
