#pragma once
// A Host on a virtual clock for tests and simulations: nothing happens until the owner advances time,
// timers and scheduled events then run in deadline order, and Sleep moves the clock on. Questions
// are answered from a script; a question the script did not expect is reported to a handler.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <queue>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "platform/PostedWork.h"

namespace tola {

class VirtualHost : public Host {
 public:
  struct BoxRecord {
    std::string text;
    std::string caption;
    BoxButtons buttons;
    BoxIcon icon;
    BoxAnswer answer;
    BoxAnswer defaultButton = BoxAnswer::None;
  };

  VirtualHost();
  ~VirtualHost() override;

  void SetTimer(unsigned id, std::uint32_t ms) override;
  void KillTimer(unsigned id) override;
  std::uint32_t TickCount() const override;
  void Sleep(std::uint32_t ms) override;
  void Post(std::function<void()> work) override;
  LocalTime Now() const override;
  using Host::MessageBox;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override;

  // Virtual time in microseconds since the host was built (bytes on a serial line take fractions
  // of a millisecond).
  std::uint64_t NowMicros() const { return m_nowUs; }

  // Runs `fn` when the clock reaches `atUs` (or at once on the next step if that is past). Returns
  // a handle for Cancel.
  std::uint64_t ScheduleAt(std::uint64_t atUs, std::function<void()> fn);
  std::uint64_t ScheduleAfter(std::uint64_t delayUs, std::function<void()> fn) {
    return ScheduleAt(m_nowUs + delayUs, std::move(fn));
  }
  void Cancel(std::uint64_t handle);

  // Runs posted work, then every event due up to now + ms in deadline order, leaving the clock at
  // now + ms.
  void AdvanceBy(std::uint32_t ms);
  void AdvanceByMicros(std::uint64_t us);
  // Advances in steps until `done` holds or `limitMs` of virtual time have passed; true if done.
  bool RunUntil(const std::function<bool()>& done, std::uint32_t limitMs);
  // Runs posted work only.
  void RunPosted();

  bool IsTimerArmed(unsigned id) const { return m_timers.count(id) != 0; }

  // Scripted answers, consumed in order. `textPart` must occur in the box text.
  void ExpectBox(std::string textPart, BoxAnswer answer);
  bool AllBoxesShown() const { return m_script.empty(); }
  const std::vector<BoxRecord>& Boxes() const { return m_boxes; }
  // Called for a box no script entry matches; the box then answers Cancel (or No / OK).
  void SetUnexpectedBoxHandler(std::function<void(const BoxRecord&)> handler) {
    m_unexpected = std::move(handler);
  }

 private:
  struct Event {
    std::uint64_t atUs;
    std::uint64_t seq;
    bool operator>(const Event& o) const { return atUs != o.atUs ? atUs > o.atUs : seq > o.seq; }
  };
  struct Timer {
    std::uint32_t periodMs;
    std::uint64_t handle;
  };
  struct ScriptEntry {
    std::string textPart;
    BoxAnswer answer;
  };

  bool RunOneDue(std::uint64_t untilUs);
  void ArmTimer(unsigned id, std::uint32_t ms);

  std::uint64_t m_nowUs = 0;
  std::uint64_t m_nextSeq = 1;
  std::priority_queue<Event, std::vector<Event>, std::greater<Event>> m_queue;
  std::map<std::uint64_t, std::function<void()>> m_pending;  // by seq; absent = cancelled
  std::map<unsigned, Timer> m_timers;

  PostedWork m_posted;

  std::deque<ScriptEntry> m_script;
  std::vector<BoxRecord> m_boxes;
  std::function<void(const BoxRecord&)> m_unexpected;
  LocalTime m_startTime{2026, 1, 1, 12, 0, 0, 0};
};

}  // namespace tola
