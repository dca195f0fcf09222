#include "ui/widgets/ActivityLog.h"

#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "app/Format.h"
#include "ui/UiText.h"

namespace tola {

ActivityLog::ActivityLog(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::TypeWriter);
  setFont(font);
  // A read-only pane still takes the focus so that a keyboard user can select and copy lines.
  setFocusPolicy(Qt::StrongFocus);
  setTabChangesFocus(true);
}

int ActivityLog::CharacterCount() const {
  // The document counts one paragraph separator after the last block too.
  return document()->characterCount() - 1;
}

void ActivityLog::AppendLine(const std::string& text) {
  QString line = ToQt(WithNewlines(text));
  if (!document()->isEmpty()) line.prepend(QLatin1Char('\n'));
  Insert(line, nullptr);
}

void ActivityLog::AppendStamped(const LocalTime& now, const std::string& text) {
  AppendLine(FormatText("%02u:%02u:%02u ", now.hour, now.minute, now.second) + text);
}

void ActivityLog::AppendColoured(const std::string& text, const QColor& colour) {
  QString part = ToQt(text);
  part.remove(QLatin1Char('\r'));
  Insert(part, &colour);
}

void ActivityLog::Clear() { clear(); }

void ActivityLog::Insert(const QString& text, const QColor* colour) {
  const int room = m_limit - CharacterCount();
  if (room <= 0 || text.isEmpty()) return;
  QScrollBar* bar = verticalScrollBar();
  const bool atBottom = bar->pageStep() == 0 || bar->value() >= bar->maximum();

  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  QTextCharFormat format;
  if (colour != nullptr) format.setForeground(*colour);
  // Text beyond the limit is not kept, as a full pane of this kind never did.
  end.insertText(text.size() > room ? text.left(room) : text, format);

  if (atBottom) bar->setValue(bar->maximum());
}

}  // namespace tola
