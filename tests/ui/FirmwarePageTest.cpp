// The Firmware page's wiring: the folder edit and its keys, the browser, the send button's enabling,
// the revision labels, the routed log and the load's dialog with its close question.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/UiText.h"
#include "support/FirmwareHex.h"
#include "ui/dialogs/PrepareFirmwareDialog.h"
#include "ui/dialogs/SendingFirmwareDialog.h"
#include "ui/pages/FirmwarePage.h"
#include "ui/widgets/ActivityLog.h"

namespace tola::test {
namespace {

constexpr std::uint16_t kFileRevision = 124;

class FirmwarePageTest : public ::testing::Test {
 protected:
  // The window on the Firmware page, its folder holding a firmware file (or nothing).
  void Open(bool withFile, bool connected = true, bool poweredOff = false, FirmwarePage::CopyFiles copyFiles = {}) {
    std::filesystem::create_directory(firmwareFolder);
    std::filesystem::create_directory(emptyFolder);
    if (withFile) {
      WriteWholeFile(firmwareFolder + "/tola400fw0124.hex", WindowToIntelHex(MakeFirmwareWindow(0x1000, 7)));
    }
    UiSetup setup;
    setup.settings = {"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000001",
                      "\"FirmwareFolder\"=\"" + firmwareFolder + "\""};
    setup.connected = connected;
    setup.model.revisionAfterLoad = kFileRevision;
    if (copyFiles) {
      setup.makePage = [copyFiles](int tab, AppState& app) -> Page* {
        return tab == kPageFirmware ? new FirmwarePage(app, copyFiles) : nullptr;
      };
    }
    ui = std::make_unique<UiHarness>(setup);
    if (poweredOff) ui->model->PowerOff();
    ASSERT_TRUE(ui->OpenShown());
    MainWindow& window = *ui->window;
    page = qobject_cast<FirmwarePage*>(window.PageAt(kPageFirmware));
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(window.Sheet().currentWidget(), page);
    if (connected && !poweredOff) {
      ASSERT_TRUE(ui->RunUntilConnected());
    }
  }

  AppState& App() { return ui->window->App(); }
  QString LastLogLine() const { return page->Log().toPlainText().section(QLatin1Char('\n'), -1); }

  TempFolder files;
  std::string firmwareFolder = files / "firmware";
  std::string emptyFolder = files / "empty";
  std::unique_ptr<UiHarness> ui;
  FirmwarePage* page = nullptr;
};

void Press(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(&widget, &press);
}

struct FolderEditCase {
  const char* name;
  // What is typed: %1 stands for the folder the setting holds, %2 for it in capitals.
  const char* typed;
  int key;
  Qt::KeyboardModifiers modifiers;
  bool stored;      // the setting becomes the typed text, trimmed
};

class FirmwareFolderEdit : public FirmwarePageTest, public ::testing::WithParamInterface<FolderEditCase> {};

TEST_P(FirmwareFolderEdit, LeavingTheEditStoresTheTrimmedFolderUnlessOnlyTheCaseDiffers) {
  const FolderEditCase& c = GetParam();
  Open(false, false);
  QLineEdit& edit = page->FolderEdit();
  edit.setFocus();
  ASSERT_TRUE(edit.hasFocus());
  const QString typed = QString::fromLatin1(c.typed)
                            .replace(QStringLiteral("%1"), ToQt(firmwareFolder))
                            .replace(QStringLiteral("%2"), ToQt(firmwareFolder).toUpper());
  edit.selectAll();
  QTest::keyClicks(&edit, typed);
  Press(edit, c.key, c.modifiers);

  // Every one of these keys moves on, forward, and Enter presses nothing.
  EXPECT_TRUE(page->CheckButton().hasFocus()) << QApplication::focusWidget()->objectName().toStdString();
  const std::string expected = c.stored ? FromQt(typed.trimmed()) : firmwareFolder;
  EXPECT_EQ(App().firmwareFolder.Get(), expected);
  EXPECT_EQ(edit.text(), c.stored ? ToQt(expected) : typed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareFolderEdit,
    ::testing::Values(FolderEditCase{"EnterStoresTrimmed", "  %1/other  ", Qt::Key_Return, Qt::NoModifier, true},
                      FolderEditCase{"ShiftTabMovesForward", "%1/other", Qt::Key_Backtab, Qt::ShiftModifier, true},
                      FolderEditCase{"CaseOnlyChangeIsNotStored", "%2", Qt::Key_Tab, Qt::NoModifier, false}),
    [](const auto& param) { return std::string(param.param.name); });

struct EnablingCase {
  const char* name;
  bool withFile;
  bool connected;
};

class FirmwareSendEnabling : public FirmwarePageTest, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(FirmwareSendEnabling, OnlyAFirmwareFileEnablesSendingAndTheFocusMovesOffWhenItGoes) {
  const EnablingCase& c = GetParam();
  Open(c.withFile, c.connected);
  EXPECT_EQ(page->SendButton().isEnabled(), c.withFile);
  EXPECT_EQ(page->AvailableLabel().text(), c.withFile ? ToQt(FileRevisionText(kFileRevision)) : "Missing");
  if (!c.withFile) return;

  page->SendButton().setFocus();
  App().firmwareFolder.Change(emptyFolder);
  EXPECT_FALSE(page->SendButton().isEnabled());
  EXPECT_EQ(page->AvailableLabel().text(), "Missing");
  EXPECT_TRUE(page->Log().hasFocus());
  EXPECT_TRUE(LastLogLine().endsWith("or navigate to a folder containing TOLA firmware files")) << LastLogLine().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareSendEnabling,
                         ::testing::Values(EnablingCase{"NoFileConnected", false, true},
                                           EnablingCase{"FileNotConnected", true, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(FirmwarePageTest, TheLogTakesRoutedLinesOnlyWhileThePageIsSelected) {
  Open(true, false);
  for (const int tab : {kPageFirmware, kPagePort, kPageFirmware}) {
    SCOPED_TRACE(tab);
    ui->window->Sheet().setCurrentIndex(tab);
    const QString before = page->Log().toPlainText();
    App().LogLine("routed line");
    if (tab == kPageFirmware) {
      EXPECT_TRUE(LastLogLine().endsWith(" routed line")) << LastLogLine().toStdString();
    } else {
      EXPECT_EQ(page->Log().toPlainText(), before);
    }
  }
}

TEST_F(FirmwarePageTest, BrowseOffersTheCurrentFolderAndStoresOnlyAChosenOne) {
  Open(true, false);
  for (const std::string& answer : {std::string(), emptyFolder}) {
    SCOPED_TRACE(answer);
    const std::string before = App().firmwareFolder.Get();
    QString caption;
    QString start;
    page->SetFolderChooser([&](QWidget*, const QString& title, const QString& folder) {
      caption = title;
      start = folder;
      return ToQt(answer);
    });
    page->BrowseButton().click();
    EXPECT_EQ(caption, "Select folder containing TOLA firmware file");
    EXPECT_EQ(start, ToQt(before));
    EXPECT_EQ(App().firmwareFolder.Get(), answer.empty() ? before : answer);
    EXPECT_EQ(page->FolderEdit().text(), ToQt(App().firmwareFolder.Get()));
  }
}

TEST_F(FirmwarePageTest, EveryControlHasAName) {
  Open(true, false);
  ExpectAccessibleNames(*page);
  EXPECT_EQ(page->HelpTopic(), "Firmware.htm");
}

// Closing during the load, by the dialog's own close or the main window's, asks the same question.
struct CloseCase {
  const char* name;
  bool mainWindow;
  BoxAnswer answer;
};

class FirmwareLoadClose : public FirmwarePageTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FirmwareLoadClose, ClosingWhileLoadingAsksAndNoLetsTheLoadFinish) {
  const CloseCase& c = GetParam();
  Open(true, true);
  MainWindow& window = *ui->window;

  bool sawLoading = false;
  bool asked = false;
  bool namesChecked = false;
  // The question as it was shown, and the load's progress when it came up and when it was answered.
  QString caption, question;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  int progressAsked = -1;
  int progressAnswered = -1;
  ui->StartModalClock([&] {
    auto* dialog = page->findChild<SendingFirmwareDialog*>();
    if (dialog == nullptr || !dialog->isVisible()) return;
    sawLoading = sawLoading || page->InstalledLabel().text() == "Loading";
    if (!namesChecked) {
      namesChecked = true;
      ExpectAccessibleNames(*dialog);
    }
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box != nullptr) {
      if (progressAsked < 0) {
        progressAsked = dialog->Progress().value();
        caption = box->windowTitle();
        question = box->text();
        defaultButton = box->standardButton(box->defaultButton());
      } else if (dialog->Progress().value() > progressAsked + 10) {
        // The load went on while the question was open.
        progressAnswered = dialog->Progress().value();
        box->button(c.answer == BoxAnswer::Yes ? QMessageBox::Yes : QMessageBox::No)->click();
      }
      return;
    }
    if (!asked && dialog->Progress().value() > dialog->Progress().maximum() / 2) {
      asked = true;
      // Outside this tick: the question's own loop must see the clock go on.
      QTimer::singleShot(0, dialog, [&window, dialog, c] {
        if (c.mainWindow) {
          window.close();
        } else {
          dialog->reject();
        }
      });
    }
  });
  page->SendButton().click();
  ui->StopModalClock();

  EXPECT_TRUE(asked);
  EXPECT_TRUE(sawLoading);
  EXPECT_EQ(caption, "Critical Operation in Progress");
  EXPECT_EQ(question, "Are you sure you wish to close the TOLA Utility while loading firmware?");
  EXPECT_EQ(defaultButton, QMessageBox::No);
  EXPECT_GT(progressAnswered, progressAsked);
  EXPECT_EQ(page->findChild<SendingFirmwareDialog*>(), nullptr);
  ui->Run(200);
  const bool kept = c.answer == BoxAnswer::No;
  // "No" finishes the load; the new revision shows once the port test after it has run.
  if (kept) {
    EXPECT_TRUE(ui->RunUntil([&] { return page->InstalledLabel().text() == ToQt(FileRevisionText(kFileRevision)); }))
        << page->InstalledLabel().text().toStdString();
  }
  EXPECT_EQ(window.isVisible(), kept || !c.mainWindow);
  EXPECT_EQ(ui->model->Revision() == kFileRevision, kept);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareLoadClose,
    ::testing::Values(CloseCase{"DialogNo", false, BoxAnswer::No}, CloseCase{"DialogYes", false, BoxAnswer::Yes},
                      CloseCase{"MainWindowNo", true, BoxAnswer::No}, CloseCase{"MainWindowYes", true, BoxAnswer::Yes}),
    [](const auto& param) { return std::string(param.param.name); });

struct RecheckCase {
  const char* name;
  QPushButton& (FirmwarePage::*button)() const;
  bool copies;  // the copy dialog's hook runs, the folder is checked quietly and "Ready" follows
};

class FirmwareRecheck : public FirmwarePageTest, public ::testing::WithParamInterface<RecheckCase> {};

TEST_P(FirmwareRecheck, TheButtonRescansTheFolderAndTestsThePortAgain) {
  const RecheckCase& c = GetParam();
  qsizetype before = 0;
  auto addedLines = [&] { return page->Log().toPlainText().mid(before); };
  const QString missingLine = "Firmware folder does not contain";
  std::vector<std::string> copied;
  Open(true, true, false, [&](const FirmwareChoice& choice) {
    copied.push_back(choice.firmwareFile);
    EXPECT_FALSE(addedLines().contains(missingLine)) << "the check before the copy is a quiet one";
  });
  ASSERT_TRUE(ui->RunUntil([&] { return App().ConnectionMachine()->IsIdle(); }));
  std::filesystem::remove(firmwareFolder + "/tola400fw0124.hex");
  before = page->Log().toPlainText().size();

  (page->*c.button)().click();
  EXPECT_EQ(page->AvailableLabel().text(), "Missing");
  EXPECT_FALSE(page->SendButton().isEnabled());
  EXPECT_FALSE(App().ConnectionMachine()->IsIdle());
  EXPECT_EQ(copied, c.copies ? std::vector<std::string>{""} : std::vector<std::string>{});
  EXPECT_TRUE(addedLines().contains(missingLine)) << addedLines().toStdString();
  EXPECT_EQ(addedLines().contains(" Ready\n"), c.copies) << addedLines().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwareRecheck,
                         ::testing::Values(RecheckCase{"CheckRevisionNow", &FirmwarePage::CheckButton, false},
                                           RecheckCase{"CopyNewFiles", &FirmwarePage::CopyButton, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// With nothing answering, the operator is told to switch the amplifier off and on; the dialog
// closes by itself once the loader answers, or on "Cancel".
class FirmwarePrepare : public FirmwarePageTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FirmwarePrepare, ThePrepareDialogWaitsForTheLoaderOrCancel) {
  const bool switchedOn = GetParam();
  Open(true, true, true);
  ui->Run(500);
  ASSERT_EQ(App().ConnectionState(), kConnectionNone);

  QStringList lines;
  bool sendingShown = false;
  ui->StartModalClock([&] {
    if (auto* sending = page->findChild<SendingFirmwareDialog*>(); sending != nullptr && sending->isVisible()) {
      sendingShown = true;
      return;
    }
    auto* prepare = page->findChild<PrepareFirmwareDialog*>();
    if (prepare == nullptr || !prepare->isVisible() || !lines.isEmpty()) return;
    for (unsigned i = 0; i < 3; ++i) lines << prepare->Line(i).text();
    if (switchedOn) {
      ui->model->PowerOn();
    } else {
      prepare->CancelButton().click();
    }
  });
  page->SendButton().click();
  ui->StopModalClock();

  EXPECT_EQ(lines, (QStringList{"Connect your TOLA400 to serial port ttySIM0",
                                "Turn your TOLA400 off for at least 10 seconds", "Turn your TOLA400 on again"}));
  EXPECT_EQ(sendingShown, switchedOn);
  EXPECT_EQ(ui->model->Revision() == kFileRevision, switchedOn);
  EXPECT_TRUE(LastLogLine().endsWith(" Ready")) << LastLogLine().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, FirmwarePrepare, ::testing::Values(false, true),
                         [](const auto& param) { return std::string(param.param ? "SwitchedOn" : "Cancelled"); });

}  // namespace
}  // namespace tola::test
