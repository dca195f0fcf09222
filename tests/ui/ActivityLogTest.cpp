#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "ui/widgets/ActivityLog.h"

namespace tola {
namespace {

TEST(ActivityLogTest, LinesAreSeparatedByExactlyOneBreakAndStampedAsHhMmSs) {
  ActivityLog log;
  log.AppendLine("first");
  log.AppendStamped(LocalTime{2026, 12, 8, 9, 5, 7, 0}, "second");
  log.AppendLine("third\r\nand its second line");
  EXPECT_EQ(log.toPlainText(), "first\n09:05:07 second\nthird\nand its second line");
  log.Clear();
  log.AppendLine("again");
  EXPECT_EQ(log.toPlainText(), "again") << "a cleared pane starts without a break";
}

TEST(ActivityLogTest, ColouredTextJoinsTheLineItIsGivenAndKeepsItsColour) {
  ActivityLog log;
  const QColor echo(0, 0x99, 0);
  log.AppendColoured("^RV;", echo);
  log.AppendColoured("\r\n", echo);
  log.AppendColoured("^RV01.23;", Qt::black);
  log.AppendColoured("^SN;", echo);
  EXPECT_EQ(log.toPlainText(), "^RV;\n^RV01.23;^SN;");
  const QTextBlock second = log.document()->findBlockByNumber(1);
  std::vector<std::pair<QString, QColor>> fragments;
  for (auto it = second.begin(); !it.atEnd(); ++it) {
    fragments.emplace_back(it.fragment().text(), it.fragment().charFormat().foreground().color());
  }
  ASSERT_EQ(fragments.size(), 2u);
  EXPECT_EQ(fragments[0], std::make_pair(QString("^RV01.23;"), QColor(Qt::black)));
  EXPECT_EQ(fragments[1], std::make_pair(QString("^SN;"), echo));
}

TEST(ActivityLogTest, AViewScrolledUpStaysWhileTheBottomFollows) {
  ActivityLog log;
  log.resize(300, 120);
  log.show();
  for (int i = 0; i < 200; ++i) log.AppendLine("line " + std::to_string(i));
  QScrollBar* bar = log.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum()) << "at the bottom the view follows";
  bar->setValue(10);
  log.AppendLine("one more");
  EXPECT_EQ(bar->value(), 10) << "the operator's place is kept";
  bar->setValue(bar->maximum());
  log.AppendLine("and another");
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(ActivityLogTest, TextBeyondTheLimitIsNotKept) {
  ActivityLog log;
  log.SetTextLimit(20);
  log.AppendLine("0123456789");
  log.AppendLine("abcdefghijkl");  // a break and 12 characters: only 9 have room
  EXPECT_EQ(log.toPlainText(), "0123456789\nabcdefghi");
  log.AppendLine("more");
  EXPECT_EQ(log.CharacterCount(), 20);
}

}  // namespace
}  // namespace tola
