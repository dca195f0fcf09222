#include "ui/QtHost.h"

#include <QDateTime>
#include <QMessageBox>
#include <QWidget>

#include <chrono>
#include <thread>

#include "ui/UiText.h"

namespace tola {

QtHost::QtHost() { m_clock.start(); }

QtHost::~QtHost() = default;

void QtHost::SetTimer(unsigned id, std::uint32_t ms) {
  auto& timer = m_timers[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, this, [this, id] { OnTimerFired(id); });
  }
  timer->start(static_cast<int>(ms));
  // A period that ended while a box was open belongs to the old arming.
  ForgetHeldExpiry(id);
}

void QtHost::KillTimer(unsigned id) {
  if (auto found = m_timers.find(id); found != m_timers.end()) found->second->stop();
  // A held expiry of a killed timer must not arrive later either.
  ForgetHeldExpiry(id);
}

void QtHost::ForgetHeldExpiry(unsigned id) {
  if (m_heldTimerSet.erase(id) != 0) std::erase(m_heldTimers, id);
}

std::uint32_t QtHost::TickCount() const {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(m_clock.elapsed()));
}

void QtHost::Sleep(std::uint32_t ms) {
  // The pause around a change of line settings: nothing else may run on this thread meanwhile, so
  // the event loop is deliberately not spun.
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtHost::Post(std::function<void()> work) {
  // Callable from the reader thread: the functor is queued to this object's thread and dropped
  // when this object is gone.
  QMetaObject::invokeMethod(
      this, [this, work = std::move(work)] { RunPosted(work); }, Qt::QueuedConnection);
}

LocalTime QtHost::Now() const {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate date = now.date();
  const QTime time = now.time();
  LocalTime t;
  t.year = static_cast<unsigned>(date.year());
  t.month = static_cast<unsigned>(date.month());
  t.day = static_cast<unsigned>(date.day());
  t.hour = static_cast<unsigned>(time.hour());
  t.minute = static_cast<unsigned>(time.minute());
  t.second = static_cast<unsigned>(time.second());
  t.millisecond = static_cast<unsigned>(time.msec());
  return t;
}

BoxAnswer QtHost::MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                             BoxIcon icon, BoxAnswer defaultButton) {
  ++m_holdDepth;
  const int answer = ShowMessageBox(m_boxOwner, text, caption, buttons, icon, defaultButton, kBoxObjectName);
  if (--m_holdDepth == 0 && (!m_heldWork.empty() || !m_heldTimers.empty())) {
    // After the core call that asked has returned, not inside it.
    QMetaObject::invokeMethod(this, [this] { ReleaseHeld(); }, Qt::QueuedConnection);
  }
  return AnswerFromQt(answer);
}

void QtHost::OnTimerFired(unsigned id) {
  if (m_holdDepth > 0 || !m_heldTimers.empty() || !m_heldWork.empty()) {
    if (m_heldTimerSet.insert(id).second) m_heldTimers.push_back(id);
    return;
  }
  DeliverTimer(id);
}

void QtHost::RunPosted(const std::function<void()>& work) {
  if (m_holdDepth > 0 || !m_heldWork.empty()) {
    m_heldWork.push_back(work);
    return;
  }
  work();
}

void QtHost::ReleaseHeld() {
  // Each delivery may open a box again, which holds whatever is left.
  while (m_holdDepth == 0 && !m_heldWork.empty()) {
    std::function<void()> work = std::move(m_heldWork.front());
    m_heldWork.pop_front();
    work();
  }
  while (m_holdDepth == 0 && m_heldWork.empty() && !m_heldTimers.empty()) {
    const unsigned id = m_heldTimers.front();
    m_heldTimers.pop_front();
    m_heldTimerSet.erase(id);
    DeliverTimer(id);
  }
}

namespace {

QMessageBox::StandardButtons QtButtons(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return QMessageBox::Ok;
    case BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case BoxButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::None: return QMessageBox::NoIcon;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton QtButton(BoxAnswer answer) {
  switch (answer) {
    case BoxAnswer::Ok: return QMessageBox::Ok;
    case BoxAnswer::Cancel: return QMessageBox::Cancel;
    case BoxAnswer::Retry: return QMessageBox::Retry;
    case BoxAnswer::Yes: return QMessageBox::Yes;
    case BoxAnswer::No: return QMessageBox::No;
    case BoxAnswer::None: break;
  }
  return QMessageBox::NoButton;
}

}  // namespace

int ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption, BoxButtons buttons,
                   BoxIcon icon, BoxAnswer defaultButton, const char* objectName) {
  QMessageBox box(QtIcon(icon), ToQt(caption), ToQt(WithNewlines(text)), QtButtons(buttons), owner);
  if (objectName != nullptr) box.setObjectName(QString::fromLatin1(objectName));
  box.setTextFormat(Qt::PlainText);
  if (const QMessageBox::StandardButton chosen = QtButton(defaultButton); chosen != QMessageBox::NoButton) {
    box.setDefaultButton(chosen);
  }
  // Escape answers Cancel or No where the box has it, OK otherwise, as operators expect.
  return box.exec();
}

BoxAnswer AnswerFromQt(int standardButton) {
  switch (standardButton) {
    case QMessageBox::Ok: return BoxAnswer::Ok;
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
    case QMessageBox::Retry: return BoxAnswer::Retry;
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    default: return BoxAnswer::None;
  }
}

}  // namespace tola
