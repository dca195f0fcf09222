#pragma once
// The read-only log pane of the Firmware page, the Command Tester and the operation dialogs:
// "Courier New" 10 point, lines appended at the end, and a view the operator scrolled up stays
// where it is while lines arrive.

#include <QColor>
#include <QPlainTextEdit>

#include <string>

#include "platform/Host.h"

namespace tola {

class ActivityLog : public QPlainTextEdit {
  Q_OBJECT

 public:
  // The Firmware page's log keeps at most this many characters; later text is not kept.
  static constexpr int kFirmwareLogLimit = 0x200000;
  // What panes without a limit of their own keep (the toolkit's default of the original panes
  // would cut a long session short; this is generous and still bounded).
  static constexpr int kDefaultLimit = 0x200000;

  explicit ActivityLog(QWidget* parent = nullptr);

  void SetTextLimit(int characters) { m_limit = characters; }
  int TextLimit() const { return m_limit; }

  // One line; from the second line on, each is preceded by one line break.
  void AppendLine(const std::string& text);
  // AppendLine of the local time "hh:mm:ss " and the text.
  void AppendStamped(const LocalTime& now, const std::string& text);
  // The text as it stands (a "\r\n" in it breaks the line), in a colour, with no separator.
  void AppendColoured(const std::string& text, const QColor& colour);
  void Clear();

  // Characters held, line breaks counted as one each.
  int CharacterCount() const;

 private:
  void Insert(const QString& text, const QColor* colour);

  int m_limit = kDefaultLimit;
};

}  // namespace tola
