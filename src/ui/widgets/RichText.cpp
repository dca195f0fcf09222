#include "ui/widgets/RichText.h"

#include <algorithm>

#include <QColor>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QTextOption>

#include "ui/UiText.h"

namespace tola {

namespace {

Qt::Alignment QtAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::Left: return Qt::AlignLeft;
    case TextAlignment::Centre: return Qt::AlignHCenter;
    case TextAlignment::Right: return Qt::AlignRight;
    case TextAlignment::Justify: return Qt::AlignJustify;
  }
  return Qt::AlignLeft;
}

QTextCharFormat QtCharFormat(const CharFormat& format) {
  QTextCharFormat out;
  out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
  out.setFontItalic(format.italic);
  out.setFontUnderline(format.underline);
  out.setFontPointSize(format.halfPoints / 2.0);
  // Without a colour of its own the run takes the pane's text colour, so it stays readable on a
  // dark palette.
  if (format.colour) out.setForeground(QColor(format.colour->red, format.colour->green, format.colour->blue));
  return out;
}

}  // namespace

void FillDocument(QTextDocument& document, const StyledText& text) {
  document.clear();
  QTextCursor cursor(&document);
  cursor.beginEditBlock();
  // The reader keeps no paragraph spacing; a third of a line apart reads better than none.
  const qreal spacing = QFontMetricsF(document.defaultFont()).height() / 3;
  // Word processors put a tab stop every half inch (36 points, 48 pixels at 96 dots per inch).
  QTextOption option = document.defaultTextOption();
  option.setTabStopDistance(48);
  document.setDefaultTextOption(option);
  bool first = true;
  for (const StyledParagraph& paragraph : text.paragraphs) {
    QTextBlockFormat block;
    block.setAlignment(QtAlignment(paragraph.alignment));
    block.setBottomMargin(spacing);
    // Twips to pixels at 96 dots per inch (1,440 twips to the inch).
    block.setLeftMargin(std::max(paragraph.indents.left, 0) / 15.0);
    block.setRightMargin(std::max(paragraph.indents.right, 0) / 15.0);
    block.setTextIndent(paragraph.indents.firstLine / 15.0);
    if (paragraph.indents.firstLine < 0) {
      // A hanging indent ("bullet, tab, text"): the tab reaches the indent, as in the word processor.
      block.setTabPositions({QTextOption::Tab(-paragraph.indents.firstLine / 15.0, QTextOption::LeftTab)});
    }
    if (first) {
      cursor.setBlockFormat(block);
      first = false;
    } else {
      cursor.insertBlock(block);
    }
    for (const StyledRun& run : paragraph.runs) {
      // A '\n' would start a new block; the line separator breaks the line inside the paragraph.
      QString runText = ToQt(run.text);
      runText.replace(QLatin1Char('\n'), QChar::LineSeparator);
      cursor.insertText(runText, QtCharFormat(run.format));
    }
  }
  cursor.endEditBlock();
}

QTextBrowser* MakeDocumentPane(QWidget& owner, const QString& objectName, const QString& name) {
  auto* pane = new QTextBrowser(&owner);
  pane->setObjectName(objectName);
  pane->setAccessibleName(name);
  pane->setLineWrapMode(QTextEdit::WidgetWidth);
  pane->setOpenLinks(false);
  const QFontMetrics metrics = owner.fontMetrics();
  pane->setMinimumSize(metrics.averageCharWidth() * 40, metrics.height() * 10);
  return pane;
}

void ShowDocument(QTextBrowser& pane, const StyledText& text) {
  FillDocument(*pane.document(), text);
  pane.moveCursor(QTextCursor::Start);
}

QPushButton* LayOutDocumentWindow(QWidget& window, QWidget* pane) {
  auto* close = new QPushButton(StringQt(kIdsClose), &window);
  close->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(pane, 1);
  layout->addLayout(buttons);
  return close;
}

}  // namespace tola
