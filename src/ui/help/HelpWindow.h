#pragma once
// The program's help: HTML topic pages built into the program, shown in a window of their own with
// a table of contents, and the short pop-up texts of "Context.txt" by context number.

#include <QPoint>
#include <QString>
#include <QWidget>

class QTextBrowser;

namespace tola {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  // `owner`: the window the help belongs to (boxes are centred on it).
  explicit HelpWindow(QWidget* owner);

  // The table of contents.
  bool ShowContents();
  // "Port.htm", "CommandTester.htm#macroButtons". A topic that does not exist shows the
  // "Help Error" box and returns false.
  bool ShowTopic(const QString& topic);
  // The pop-up text with number `context` from "Context.txt", at a position on the screen.
  bool ShowPopup(unsigned context, const QPoint& at);

  // What the window shows now ("Port.htm#..."), for tests.
  QString CurrentTopic() const;
  // The pop-up text of a context number; empty when "Context.txt" has none.
  static QString PopupText(unsigned context);
};

}  // namespace tola
