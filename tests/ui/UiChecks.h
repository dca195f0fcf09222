#pragma once
// Checks shared by the tests of every page and dialog.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QWidget>

namespace tola::test {

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
