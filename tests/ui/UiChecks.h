#pragma once
// Checks and event-loop helpers shared by the tests of every page and dialog.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <functional>

namespace tola::test {

// Runs Qt's event loop in real time until `done` holds or `limitMs` have passed; returns `done()`.
inline bool SpinUntil(const std::function<bool()>& done, int limitMs = 2000) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

inline void SpinFor(int ms) {
  SpinUntil([] { return false; }, ms);
}

// Every control the keyboard can reach has a name a screen reader can say: its caption, its
// accessible name or the text of the label whose buddy it is.
inline void ExpectAccessibleNames(QWidget& root) {
  int checked = 0;
  for (QWidget* widget : root.findChildren<QWidget*>()) {
    if ((widget->focusPolicy() & Qt::TabFocus) == 0 || !widget->isVisibleTo(&root)) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    const QString name = accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
    EXPECT_FALSE(name.trimmed().isEmpty())
        << widget->metaObject()->className() << " \"" << widget->objectName().toStdString() << "\" has no name";
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no control to check";
}

}  // namespace tola::test
