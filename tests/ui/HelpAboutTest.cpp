// The help window and its pages, the About box with the licence, the release-notes window and the
// mapping of styled text into Qt's documents.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QKeyEvent>
#include <QLabel>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <filesystem>
#include <set>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/UiText.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/ReleaseNotesWindow.h"
#include "ui/help/HelpContexts.h"
#include "ui/help/HelpWindow.h"
#include "ui/widgets/RichText.h"

namespace tola::test {
namespace {

void PressKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

// With TOLA_UI_SHOTS naming a folder, the windows are saved there as pictures to look at.
void SaveShot(QWidget& widget, const char* name, QSize size = {}) {
  const QString folder = qEnvironmentVariable("TOLA_UI_SHOTS");
  if (folder.isEmpty()) return;
  widget.resize(size.isValid() ? size : widget.minimumSizeHint().expandedTo(widget.minimumSize()));
  QApplication::processEvents();
  widget.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// --- Help

struct HelpFixture : ::testing::Test {
  HelpFixture() {
    help.SetErrorBox([this](QWidget*, const QString& text) { errors.push_back(text); });
  }
  ~HelpFixture() override { help.close(); }

  QWidget owner;
  HelpWindow help{&owner};
  std::vector<QString> errors;
};

TEST_F(HelpFixture, ContentsAndTopicsOpenWithTheirAnchors) {
  ASSERT_TRUE(help.ShowContents());
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.CurrentTopic(), "Contents.htm");
  SaveShot(help, "help-contents-min");
  SaveShot(help, "help-contents", help.sizeHint());

  // The topics the pages and the dialogs ask for.
  for (const char* topic : {"Port.htm", "Firmware.htm", "Firmware.htm#failed", "CommandTester.htm",
                            "CommandTester.htm#macroButtons", "Configuration.htm", "Configuration.htm#Edit",
                            "Troubleshooting.htm#modemmanager", "Port.htm#linux"}) {
    SCOPED_TRACE(topic);
    ASSERT_TRUE(help.ShowTopic(QString::fromLatin1(topic)));
    EXPECT_EQ(help.CurrentTopic(), QString::fromLatin1(topic));
  }
  QApplication::processEvents();
  // The anchor is far down its page: the view has scrolled to it.
  EXPECT_GT(help.findChild<QTextBrowser*>()->verticalScrollBar()->value(), 0);
  SaveShot(help, "help-port-linux", help.sizeHint());
  EXPECT_TRUE(errors.empty());
}

TEST_F(HelpFixture, AMissingTopicGivesOneHelpErrorWithItsPath) {
  ASSERT_TRUE(help.ShowTopic(QStringLiteral("Port.htm")));
  EXPECT_FALSE(help.ShowTopic(QStringLiteral("Nope.htm")));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "qrc:/tola/help/Nope.htm");
  EXPECT_EQ(help.CurrentTopic(), "Port.htm");
}

TEST_F(HelpFixture, LinksNavigateAndBackReturns) {
  ASSERT_TRUE(help.ShowContents());
  auto* browser = help.findChild<QTextBrowser*>();
  QPushButton* back = nullptr;
  for (QPushButton* button : help.findChildren<QPushButton*>()) {
    if (button->text() == StringQt(kIdsHelpBack)) back = button;
  }
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->isEnabled());

  emit browser->anchorClicked(QUrl(QStringLiteral("qrc:/tola/help/CommandTester.htm#macroButtons")));
  EXPECT_EQ(help.CurrentTopic(), "CommandTester.htm#macroButtons");
  ASSERT_TRUE(back->isEnabled());
  back->click();
  EXPECT_EQ(help.CurrentTopic(), "Contents.htm");

  // A broken link says so instead of showing an empty page.
  emit browser->anchorClicked(QUrl(QStringLiteral("qrc:/tola/help/Gone.htm")));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "qrc:/tola/help/Gone.htm");
}

TEST(HelpPages, EveryLinkResolvesAndEveryTopicIsInTheContents) {
  const QDir folder(QStringLiteral(":/tola/help"));
  const QStringList pages = folder.entryList({QStringLiteral("*.htm")}, QDir::Files);
  ASSERT_GE(pages.size(), 3);
  static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
  std::set<QString> fromContents;
  for (const QString& page : pages) {
    const QString html = ReadText(folder.filePath(page));
    for (auto it = link.globalMatch(html); it.hasNext();) {
      const QString target = it.next().captured(1);
      SCOPED_TRACE((page + QStringLiteral(" -> ") + target).toStdString());
      if (target.startsWith(QLatin1String("http:")) || target.startsWith(QLatin1String("https:"))) continue;
      const QString file = target.section(QLatin1Char('#'), 0, 0);
      const QString anchor = target.section(QLatin1Char('#'), 1);
      const QString resolved = file.isEmpty() ? page : file;
      ASSERT_TRUE(QFile::exists(folder.filePath(resolved)));
      if (!anchor.isEmpty()) {
        EXPECT_TRUE(ReadText(folder.filePath(resolved)).contains(QStringLiteral("name=\"%1\"").arg(anchor)));
      }
      if (page == QLatin1String("Contents.htm")) fromContents.insert(resolved);
    }
  }
  for (const QString& page : pages) {
    if (page != QLatin1String("Contents.htm")) {
      EXPECT_EQ(fromContents.count(page), 1u) << page.toStdString();
    }
  }
}

TEST(HelpPopups, EveryContextNumberHasItsTextAndOthersNone) {
  for (unsigned context : kHelpContexts) {
    SCOPED_TRACE(context);
    EXPECT_FALSE(HelpWindow::PopupText(context).isEmpty());
  }
  EXPECT_TRUE(HelpWindow::PopupText(kHelpAllBandsAnt1).startsWith(QLatin1String("All Bands ANT 1")));
  EXPECT_TRUE(HelpWindow::PopupText(4999).isEmpty());

  // Lines of a paragraph join; a blank line keeps paragraphs apart; Windows line ends count too.
  const auto texts = HelpWindow::ParseContextText(
      QStringLiteral("ignored\n.topic 7\nfirst\nline\n\nsecond\n\n.topic 8\r\nother\r\n.topic x\nlost\n"));
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts.at(7), "first line\n\nsecond");
  EXPECT_EQ(texts.at(8), "other");
}

// --- About box and licence

TEST(AboutBox, ShowsNameRevisionAndCopyrightAndOpensTheLicence) {
  AboutDialog about(nullptr);
  const QString expected = QStringLiteral("Ostravel TOLA Utility\n\nRevision %1.%2.%3.%4\n\n%5")
                               .arg(TOLA_VERSION_MAJOR)
                               .arg(TOLA_VERSION_MINOR)
                               .arg(TOLA_VERSION_PATCH)
                               .arg(TOLA_VERSION_TWEAK)
                               .arg(StringQt(kIdsCopyright));
  EXPECT_EQ(about.windowTitle(), "About Ostravel TOLA Utility");
  auto* text = about.findChild<QLabel*>(QStringLiteral("aboutText"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), expected);
  EXPECT_TRUE(StringQt(kIdsCopyright).startsWith(QLatin1String("Copyright (C) 2026 ")));
  auto* icon = about.findChild<QLabel*>(QStringLiteral("aboutIcon"));
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull()) << "the program icon did not load";
  EXPECT_TRUE(about.CloseButton()->isDefault());
  about.show();
  ExpectAccessibleNames(about);
  SaveShot(about, "about");

  int licenceBlocks = 0;
  QObject::connect(&about, &AboutDialog::licenceOpened, [&licenceBlocks](QDialog* licence) {
    auto* dialog = static_cast<LicenceDialog*>(licence);
    EXPECT_EQ(dialog->windowTitle(), "Ostravel TOLA Utility License Agreement");
    EXPECT_TRUE(dialog->Pane()->isReadOnly());
    EXPECT_EQ(dialog->Pane()->lineWrapMode(), QTextEdit::WidgetWidth);
    licenceBlocks = dialog->Pane()->document()->blockCount();
    QTimer::singleShot(0, dialog, [dialog] {
      EXPECT_TRUE(dialog->isModal());
      ExpectAccessibleNames(*dialog);
      SaveShot(*dialog, "licence-min");
      SaveShot(*dialog, "licence", dialog->sizeHint());
      dialog->reject();
    });
  });
  about.LicenceButton()->click();
  EXPECT_GT(licenceBlocks, 10);

  PressKey(&about, Qt::Key_Escape);
  EXPECT_FALSE(about.isVisible());
}

// --- Release notes

struct NotesCase {
  const char* name;
  const char* content;  // null: no file; "<folder>": a folder of that name
  std::vector<std::string> boxes;
};

class ReleaseNotesRefused : public ::testing::TestWithParam<NotesCase> {};

TEST_P(ReleaseNotesRefused, WithTheBoxesThatSayWhy) {
  const NotesCase& row = GetParam();
  UiHarness harness;
  MainWindow& window = harness.Open();
  const std::string folder = harness.folder / "firmware";
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/tola400fwnotes.rtf";
  if (row.content != nullptr && std::string(row.content) == "<folder>") {
    std::filesystem::create_directory(path);
  } else if (row.content != nullptr) {
    WriteWholeFile(path, row.content);
  }
  window.App().firmwareFolder.Change(folder + "/");
  const std::size_t before = harness.host.Boxes().size();
  for (const std::string& box : row.boxes) harness.host.ExpectBox(box == "<path>" ? path : box, BoxAnswer::Ok);

  window.ShowReleaseNotes();
  EXPECT_EQ(window.ReleaseNotes(), nullptr);
  const auto& boxes = harness.host.Boxes();
  ASSERT_EQ(boxes.size() - before, row.boxes.size());
  const auto& last = boxes.back();
  EXPECT_EQ(last.caption, "Release Notes Error");
  EXPECT_EQ(last.icon, BoxIcon::Error);
  EXPECT_EQ(last.text.rfind("Unable to open Firmware Release Notes file \"" + path + "\"", 0), 0u) << last.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReleaseNotesRefused,
    ::testing::Values(NotesCase{"Missing", nullptr, {"<path>"}},
                      NotesCase{"Unreadable", "<folder>", {"CreateFile failed on", "<path>"}},
                      NotesCase{"NotRtf", "Release 01.24: faster tuning", {kRtfNotRtf}},
                      NotesCase{"Damaged", "{\\rtf1 {{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{"
                                           "{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{{ deep }",
                                {kRtfTooDeep}}),
    [](const ::testing::TestParamInfo<NotesCase>& row) { return std::string(row.param.name); });

TEST(ReleaseNotes, AGoodFileShowsInAWindowThatGoesAwayWhenClosed) {
  UiHarness harness;
  MainWindow& window = harness.Open();
  WriteWholeFile(harness.folder / "tola400fwnotes.rtf",
                 "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\qc\\b Release 01.24\\b0\\par\\ql Faster tuning on 6 m.\\par}");
  window.App().firmwareFolder.Change(harness.folder.Path());

  window.ShowReleaseNotes();
  ReleaseNotesWindow* shown = window.ReleaseNotes();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_TRUE(shown->isWindow());
  EXPECT_EQ(shown->windowTitle(), "Firmware Release Notes");
  EXPECT_EQ(shown->Pane()->toPlainText(), "Release 01.24\nFaster tuning on 6 m.");
  ExpectAccessibleNames(*shown);
  SaveShot(*shown, "notes-min");
  SaveShot(*shown, "notes", shown->sizeHint());

  // Opening again replaces the window.
  const QPointer<ReleaseNotesWindow> first(shown);
  window.ShowReleaseNotes();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  shown = window.ReleaseNotes();
  ASSERT_NE(shown, nullptr);
  const QPointer<ReleaseNotesWindow> second(shown);
  PressKey(shown, Qt::Key_Escape);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(second.isNull());
}

TEST(HelpWindowKeys, EveryControlHasAName) {
  QWidget owner;
  HelpWindow help(&owner);
  ASSERT_TRUE(help.ShowContents());
  ExpectAccessibleNames(help);
  help.close();
}

// --- Styled text into a document

TEST(RichText, ParagraphsAndRunsKeepTheirFormats) {
  struct Row {
    TextAlignment alignment;
    Qt::Alignment expected;
    CharFormat format;
    ParagraphIndents indents;  // twips; 15 to the pixel
  };
  const Row rows[] = {
      {TextAlignment::Centre, Qt::AlignHCenter, CharFormat{true, false, false, 32, RgbColour{0, 51, 102}}, {}},
      {TextAlignment::Right, Qt::AlignRight, CharFormat{false, true, false, 20, std::nullopt}, {0, 0, 300}},
      {TextAlignment::Justify, Qt::AlignJustify, CharFormat{false, false, true, 24, RgbColour{200, 0, 0}}, {}},
      {TextAlignment::Left, Qt::AlignLeft, CharFormat{}, {720, -360, 0}},
  };
  StyledText text;
  for (const Row& row : rows) {
    text.paragraphs.push_back(StyledParagraph{row.alignment, row.indents, {{"first\nsecond", row.format}}});
  }
  QTextDocument document;
  document.setPlainText(QStringLiteral("old text"));
  FillDocument(document, text);

  // The line break stays inside its paragraph.
  ASSERT_EQ(document.blockCount(), static_cast<int>(std::size(rows)));
  QTextBlock block = document.begin();
  for (const Row& row : rows) {
    SCOPED_TRACE(block.blockNumber());
    EXPECT_EQ(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, row.expected);
    EXPECT_DOUBLE_EQ(block.blockFormat().leftMargin(), row.indents.left / 15.0);
    EXPECT_DOUBLE_EQ(block.blockFormat().rightMargin(), row.indents.right / 15.0);
    EXPECT_DOUBLE_EQ(block.blockFormat().textIndent(), row.indents.firstLine / 15.0);
    EXPECT_EQ(block.text(), QStringLiteral("first") + QChar(QChar::LineSeparator) + QStringLiteral("second"));
    const QTextCharFormat format = block.begin().fragment().charFormat();
    EXPECT_EQ(format.fontWeight() == QFont::Bold, row.format.bold);
    EXPECT_EQ(format.fontItalic(), row.format.italic);
    EXPECT_EQ(format.fontUnderline(), row.format.underline);
    EXPECT_DOUBLE_EQ(format.fontPointSize(), row.format.halfPoints / 2.0);
    EXPECT_EQ(format.hasProperty(QTextFormat::ForegroundBrush), row.format.colour.has_value());
    if (row.format.colour) {
      EXPECT_EQ(format.foreground().color(),
                QColor(row.format.colour->red, row.format.colour->green, row.format.colour->blue));
    }
    block = block.next();
  }
}

}  // namespace
}  // namespace tola::test
