#pragma once
// Everything the core needs from the process it runs in: window timers, a tick count, the blocking
// pause of speed changes, posting work to the user-interface thread, local time and modal questions.

#include <cstdint>
#include <functional>
#include <string>

namespace tola {

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class BoxIcon { None, Information, Warning, Error, Question };

// Answers carry the numbers of the Windows dialog results so that code comparing them reads the same.
enum class BoxAnswer : int { None = 0, Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

struct LocalTime {
  unsigned year = 0, month = 0, day = 0;
  unsigned hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Host {
 public:
  virtual ~Host() = default;

  // Window timers by number: an armed timer fires every `ms` until killed; arming a number that is
  // already armed replaces it. Expiries are delivered to the timer handler on the UI thread.
  virtual void SetTimer(unsigned id, std::uint32_t ms) = 0;
  virtual void KillTimer(unsigned id) = 0;

  // Milliseconds since some fixed start, wrapping at 2^32 like GetTickCount.
  virtual std::uint32_t TickCount() const = 0;

  // The blocking pause around line-settings changes. The UI thread does nothing else meanwhile.
  virtual void Sleep(std::uint32_t ms) = 0;

  // Runs `work` on the UI thread later. Callable from any thread; never waits.
  virtual void Post(std::function<void()> work) = 0;

  virtual LocalTime Now() const = 0;

  // A modal question or notice to the operator. `defaultButton` is what Enter answers; None leaves the
  // toolkit's usual choice (the first button).
  virtual BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                               BoxIcon icon, BoxAnswer defaultButton) = 0;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon) {
    return MessageBox(text, caption, buttons, icon, BoxAnswer::None);
  }

  // Who receives timer expiries (the main window's routing).
  void SetTimerHandler(std::function<void(unsigned id)> handler) { m_timerHandler = std::move(handler); }

 protected:
  void DeliverTimer(unsigned id) {
    if (m_timerHandler) m_timerHandler(id);
  }

 private:
  std::function<void(unsigned id)> m_timerHandler;
};

}  // namespace tola
