#pragma once
// The program's help: HTML topic pages built into the program, shown in a window of their own with
// a table of contents, and the short pop-up texts of "Context.txt" by context number.

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

class QPushButton;
class QTextBrowser;
class QUrl;

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

  // Where the topics live: "qrc:/tola/help/" as a URL, ":/tola/help/" as a file folder.
  static QString HelpPath(const QString& topic);
  static QString HelpFile(const QString& topic);
  // The pop-up texts of a "Context.txt": ".topic N" lines, each followed by its text; a blank line
  // ends a paragraph, the lines of a paragraph join with blanks.
  static std::map<unsigned, QString> ParseContextText(const QString& text);

  // The "Help Error" box (owner, text). Tests put their own in place so that nothing blocks.
  using ErrorBox = std::function<void(QWidget* owner, const QString& text)>;
  void SetErrorBox(ErrorBox box) { m_errorBox = std::move(box); }

  QSize sizeHint() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnLink(const QUrl& url);
  void ShowError(const QString& text);
  void Present();

  QWidget* m_owner;
  QWidget* m_lentTo = nullptr;  // the modal dialog the window belongs to while that is open
  QPushButton* m_back = nullptr;
  QPushButton* m_forward = nullptr;
  QPushButton* m_contents = nullptr;
  QTextBrowser* m_browser = nullptr;
  ErrorBox m_errorBox;
};

}  // namespace tola
