// The Command Tester page and its Edit Macros dialog, on the main window with the amplifier model:
// what goes out on the line, what the output shows in which colour, enabling, and the macros kept.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <utility>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/dialogs/EditMacrosDialog.h"
#include "ui/pages/CommandTesterPage.h"
#include "ui/widgets/ActivityLog.h"

namespace tola::test {
namespace {

const std::vector<std::string> kOnCommandTester{"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000004"};

// The output as runs: "[G:...]" in the echo colour, "[K:...]" in the response colour, "[?:...]"
// in anything else; a line break between blocks.
std::string Runs(const QPlainTextEdit& log) {
  std::string out;
  const QTextDocument& document = *log.document();
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) out += '\n';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      const QColor colour = format.foreground().color();
      char tag = '?';
      if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        if (colour == QColor(0, 0x99, 0)) tag = 'G';
        if (colour == QColor(Qt::black)) tag = 'K';
      }
      out += std::string("[") + tag + ':' + it.fragment().text().toUtf8().toStdString() + ']';
    }
  }
  return out;
}

class CommandTesterTest : public ::testing::Test {
 protected:
  static UiSetup OnCommandTester() {
    UiSetup setup;
    setup.settings = kOnCommandTester;
    return setup;
  }

  void SetUp() override {
    ASSERT_TRUE(ui.OpenShown());
    MainWindow& window = *ui.window;
    ASSERT_TRUE(ui.RunUntilConnected());
    ASSERT_TRUE(ui.RunUntil([&] { return window.App().ConnectionMachine()->IsIdle(); }));
    page = qobject_cast<CommandTesterPage*>(window.PageAt(kPageCommandTester));
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(window.Sheet().currentWidget(), page);
    box = page->findChild<QLineEdit*>(QStringLiteral("commandBox"));
    output = page->findChild<ActivityLog*>(QStringLiteral("output"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(output, nullptr);
    ui.port->ClearSent();
  }

  AppState& App() { return ui.window->App(); }
  QPushButton* Button(const char* name) { return page->findChild<QPushButton*>(QLatin1String(name)); }
  QPushButton* Macro(int number) { return page->findChild<QPushButton*>(QStringLiteral("macro%1").arg(number)); }
  bool OutputEndsWith(const std::string& text) {
    return output->toPlainText().toUtf8().toStdString().ends_with(text);
  }

  UiHarness ui{OnCommandTester()};
  CommandTesterPage* page = nullptr;
  QLineEdit* box = nullptr;
  ActivityLog* output = nullptr;
};

TEST_F(CommandTesterTest, TheCommandBoxHasTheFocusOnceThereIsContact) {
  EXPECT_EQ(QApplication::focusWidget(), box);
}

TEST_F(CommandTesterTest, SendsTheBoxAndTheMacrosUnchanged) {
  struct Case {
    const char* typed;
    bool enter;
    int macro;  // 1 to 16, 0 for none
    const char* macroText;
    const char* sent;
    const char* focus;
  };
  const Case cases[] = {
      {"^SN", true, 0, "", "^SN", "commandBox"},
      {"^RV;", false, 0, "", "^RV;", "commandBox"},  // the semicolon sends
      {"^", false, 3, "^RV;", "^^RV;", "macro3"},
      {"", false, 5, "^sn;", "^sn;", "macro5"},
      {"^I", false, 2, "", "^I", "macro2"},
      {"", true, 0, "", "", "commandBox"},  // nothing to send
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed) + (c.enter ? " Enter" : "") + " macro " + std::to_string(c.macro));
    box->setFocus();
    ui.port->ClearSent();
    QTest::keyClicks(box, QString::fromLatin1(c.typed));
    if (c.enter) QTest::keyClick(box, Qt::Key_Return);
    if (c.macro != 0) {
      App().commandTexts.ChangeAt(static_cast<std::size_t>(c.macro - 1), c.macroText);
      Macro(c.macro)->click();
    }
    EXPECT_EQ(ui.port->Sent(), c.sent);
    EXPECT_EQ(box->text(), QString());
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(c.focus));
    ui.Run(100);
  }
}

TEST_F(CommandTesterTest, SpaceOnTheMacroButtonUsedSendsItAgain) {
  App().commandTexts.ChangeAt(3, "^RV;");
  box->setFocus();
  Macro(4)->click();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(ui.port->Sent(), "^RV;^RV;");
}

TEST_F(CommandTesterTest, EchoesInGreenAndShowsTheAnswersInBlackOnTheSameLine) {
  QTest::keyClicks(box, QStringLiteral("^RV;"));
  ASSERT_TRUE(ui.RunUntil([&] { return OutputEndsWith("^RV01.23;"); }, 2000));
  QTest::keyClicks(box, QStringLiteral("^sn;"));
  ASSERT_TRUE(ui.RunUntil([&] { return OutputEndsWith("^SN1234;"); }, 2000));
  EXPECT_EQ(Runs(*output), "[G:^RV;]\n[K:^RV01.23;][G:^sn;]\n[K:^SN1234;]");

  Button("clear")->click();
  EXPECT_EQ(output->toPlainText(), QString());
}

TEST_F(CommandTesterTest, ShowsEachByteAsTheCharacterOfItsCodeWithoutCarriageReturns) {
  // The mode letter comes back as the model holds it, whatever byte that is.
  const std::pair<char, const char*> cases[] = {{'\r', "[G:^md;]\n[K:^MD;]"}, {'\xE9', "[G:^md;]\n[K:^MD\u00e9;]"}};
  for (const auto& [letter, runs] : cases) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(letter)));
    output->Clear();
    ui.model->Settings().mode = letter;
    QTest::keyClicks(box, QStringLiteral("^md;"));
    ASSERT_TRUE(
        ui.RunUntil([&] { return OutputEndsWith(";") && Runs(*output).find("[K:") != std::string::npos; }, 2000));
    EXPECT_EQ(Runs(*output), runs);
  }
}

std::vector<QWidget*> Controls(QWidget& page) {
  std::vector<QWidget*> controls;
  for (QWidget* widget : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) controls.push_back(widget);
  return controls;
}

TEST_F(CommandTesterTest, EverythingIsDisabledWithoutContactAlsoWhenShownAgain) {
  for (const bool away : {false, true}) {
    SCOPED_TRACE(away ? "changed on another page" : "changed while shown");
    for (const std::uint32_t state : {kConnectionNone, kConnectionFirmware}) {
      // A page that sends nothing of its own while it shows.
      if (away) ui.window->Sheet().setCurrentIndex(kPageConfiguration);
      App().SetConnectionState(state);
      if (away) ui.window->Sheet().setCurrentIndex(kPageCommandTester);
      for (QWidget* control : Controls(*page)) {
        EXPECT_EQ(control->isEnabled(), state != kConnectionNone)
            << control->metaObject()->className() << " " << control->objectName().toStdString();
      }
    }
  }
  // A semicolon without contact sends nothing and leaves the text.
  App().SetConnectionState(kConnectionNone);
  box->setText(QStringLiteral("^RV;"));
  EXPECT_EQ(ui.port->Sent(), "");
  EXPECT_EQ(box->text(), QStringLiteral("^RV;"));
}

TEST(CommandTesterPageTest, IsDisabledBeforeItIsFirstShown) {
  UiSetup setup;
  setup.settings = {"\"Port\"=\"ttySIM0\""};
  setup.connected = false;
  UiHarness ui(std::move(setup));
  MainWindow& window = ui.Open();
  ASSERT_EQ(window.Sheet().currentIndex(), kPagePort);
  QWidget* page = window.PageAt(kPageCommandTester);
  for (QWidget* control : Controls(*page)) {
    EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();
  }
}

// Runs `script` on the Edit Macros dialog once "Edit Macros" has opened it.
void WithMacroDialog(QWidget& page, std::function<void(EditMacrosDialog&)> script) {
  QTimer::singleShot(0, &page, [&page, script] {
    auto* dialog = page.findChild<EditMacrosDialog*>();
    if (dialog == nullptr) {
      ADD_FAILURE() << "no Edit Macros dialog";
      return;
    }
    script(*dialog);
  });
  page.findChild<QPushButton*>(QStringLiteral("editMacros"))->click();
}

class Recorder final : public Listener {
 public:
  void OnNotify(std::uint32_t id, std::uint32_t wParam) override { seen.emplace_back(id, wParam); }
  std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;
};

TEST_F(CommandTesterTest, EditMacrosSavesOrForgetsTheRows) {
  struct Case {
    const char* button;
    const char* caption;  // of the third macro afterwards
    const char* text;
  };
  const Case cases[] = {{"cancel", "Macro 3", ""}, {"save", "Rev", "^RV;"}};
  App().commandTexts.ChangeAt(0, "^I;");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    Recorder recorder;
    App().commandCaptions.AddListenerQuiet(&recorder);
    App().commandTexts.AddListenerQuiet(&recorder);
    WithMacroDialog(*page, [&](EditMacrosDialog& dialog) {
      EXPECT_TRUE(dialog.isModal());
      EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit Macros"));
      auto* caption3 = dialog.findChild<QLineEdit*>(QStringLiteral("caption3"));
      auto* text3 = dialog.findChild<QLineEdit*>(QStringLiteral("text3"));
      EXPECT_EQ(caption3->text(), QStringLiteral("Macro 3"));
      EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("text1"))->text(), QStringLiteral("^I;"));
      caption3->setText(QStringLiteral("Rev"));
      text3->setText(QStringLiteral("^RV;"));
      dialog.findChild<QPushButton*>(QLatin1String(c.button))->click();
    });
    App().commandCaptions.RemoveListener(&recorder);
    App().commandTexts.RemoveListener(&recorder);

    EXPECT_EQ(Macro(3)->text(), QLatin1String(c.caption));
    EXPECT_EQ(App().commandTexts.At(2), c.text);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    if (std::string(c.button) == "save") {
      for (std::uint32_t i = 0; i < kMacroCount; ++i) {
        expected.emplace_back(kIdCommandCaption, i);
        expected.emplace_back(kIdCommandText, i);
      }
    }
    EXPECT_EQ(recorder.seen, expected);
  }

  ui.window->close();
  const std::string saved = ui.SavedSettings();
  EXPECT_NE(saved.find("\"CommandCaption3\"=\"Rev\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"CommandText3\"=\"^RV;\""), std::string::npos) << saved;
  ui.window.reset();
  MainWindow& next = ui.Open();
  EXPECT_EQ(next.PageAt(kPageCommandTester)->findChild<QPushButton*>(QStringLiteral("macro3"))->text(),
            QStringLiteral("Rev"));
}

TEST_F(CommandTesterTest, MacroHelpOpensItsTopicFromTheButtonAndF1) {
  std::vector<QString> topics;
  EditMacrosDialog dialog(App(), [&](const QString& topic) { topics.push_back(topic); }, page);
  QTimer::singleShot(0, &dialog, [&] {
    // The offscreen platform does not activate a window that opens.
    dialog.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == dialog.windowHandle(); }, 2000));
    dialog.findChild<QPushButton*>(QStringLiteral("help"))->click();
    QTest::keyClick(dialog.findChild<QLineEdit*>(QStringLiteral("text5")), Qt::Key_F1);
    dialog.reject();
  });
  dialog.exec();
  EXPECT_EQ(topics, (std::vector<QString>{QStringLiteral("CommandTester.htm#macroButtons"),
                                          QStringLiteral("CommandTester.htm#macroButtons")}));
}

TEST_F(CommandTesterTest, EveryControlHasANameAndTabFollowsTheLayout) {
  ExpectAccessibleNames(*page);
  std::vector<QString> order;
  QWidget* widget = box;
  do {
    if (page->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) != 0) {
      order.push_back(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  } while (widget != box);
  std::vector<QString> expected{QStringLiteral("commandBox"), QStringLiteral("editMacros"), QStringLiteral("clear")};
  for (int i = 1; i <= 16; ++i) expected.push_back(QStringLiteral("macro%1").arg(i));
  expected.push_back(QStringLiteral("output"));
  EXPECT_EQ(order, expected);

  EditMacrosDialog dialog(App(), [](const QString&) {}, page);
  dialog.show();
  ExpectAccessibleNames(dialog);
  EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("text16"))->accessibleName(),
            QStringLiteral("Text to Send 16"));
}

}  // namespace
}  // namespace tola::test
