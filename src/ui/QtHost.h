#pragma once
// The Host of the desktop program: window timers as QTimers, posted work as queued calls on the
// user-interface thread, message boxes as QMessageBox.
//
// A box opened by the core runs a nested event loop while a core call is still on the stack. So
// that no machine is entered again from inside its own call, everything that would call into the
// core (timer expiries and posted work, which carries the serial events) is held while such a box
// is open and delivered, in order, once the outermost box has closed.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/Host.h"

class QWidget;

namespace tola {

class QtHost final : public QObject, public Host {
  Q_OBJECT

 public:
  QtHost();
  ~QtHost() override;

  void SetTimer(unsigned id, std::uint32_t ms) override;
  void KillTimer(unsigned id) override;
  std::uint32_t TickCount() const override;
  void Sleep(std::uint32_t ms) override;
  void Post(std::function<void()> work) override;
  LocalTime Now() const override;
  using Host::MessageBox;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override;

  // The window that owns the boxes (the main window); none gives boxes without an owner.
  void SetBoxOwner(QWidget* owner) { m_boxOwner = owner; }

  // While a box of the core is open, timers and posted work wait; tests read this.
  bool Holding() const { return m_holdDepth > 0; }
  // Tests and the screenshot script answer boxes by looking at the one that is open.
  static constexpr const char* kBoxObjectName = "tolaCoreBox";

 private:
  void OnTimerFired(unsigned id);
  void RunPosted(const std::function<void()>& work);
  void ReleaseHeld();

  QElapsedTimer m_clock;
  std::map<unsigned, std::unique_ptr<QTimer>> m_timers;
  void ForgetHeldExpiry(unsigned id);

  QPointer<QWidget> m_boxOwner;
  int m_holdDepth = 0;
  std::deque<std::function<void()>> m_heldWork;
  // Held expiries in the order they first fired; a timer that fired twice meanwhile fires once.
  std::deque<unsigned> m_heldTimers;
  std::set<unsigned> m_heldTimerSet;
};

// The QMessageBox form of a core box: its buttons, icon and default. Shared with the boxes the
// windows show themselves so that both look the same.
int ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption, BoxButtons buttons,
                   BoxIcon icon, BoxAnswer defaultButton, const char* objectName = nullptr);
BoxAnswer AnswerFromQt(int standardButton);

}  // namespace tola
