// The Configuration page's wiring: its buttons' enabling, and the save, restore and fault-table
// dialogs they open, run on the amplifier model.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "UiChecks.h"
#include "UiHarness.h"
#include "dialogue/ConnectionMachine.h"
#include "ui/UiText.h"
#include "ui/dialogs/ConfigurationFileDialogs.h"
#include "ui/dialogs/FaultTableDialog.h"
#include "ui/pages/ConfigurationPage.h"

namespace tola::test {
namespace {

struct Offer {
  ConfigurationFileMode mode;
  QString folder;
  QString proposedName;
};

class ConfigurationPageTest : public ::testing::Test {
 protected:
  // The window on the Configuration page, connected to an amplifier running `revision` (or to none).
  void Open(std::uint16_t revision = 123, bool connected = true) {
    std::filesystem::create_directory(configFolder);
    UiSetup setup;
    setup.settings = {"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000003",
                      "\"ConfigurationFolder\"=\"" + configFolder + "\""};
    setup.connected = connected;
    setup.model.revision = revision;
    ui = std::make_unique<UiHarness>(setup);
    ASSERT_TRUE(ui->OpenShown());
    MainWindow& window = *ui->window;
    page = qobject_cast<ConfigurationPage*>(window.PageAt(kPageConfiguration));
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(window.Sheet().currentWidget(), page);
    if (connected) {
      ASSERT_TRUE(ui->RunUntil([this] { return App().ConnectionState() == kConnectionFirmware; }));
    } else {
      ui->Run(3000);
    }
    page->SetFileChooser([this](QWidget*, ConfigurationFileMode mode, const QString& folder, const QString& name) {
      offers.push_back({mode, folder, name});
      if (answers.empty()) return answer;
      const QString next = answers.front();
      answers.erase(answers.begin());
      return next;
    });
  }

  // Presses `button`, whose dialog runs modally on the virtual clock; `onTick` sees it on every turn.
  template <class Dialog>
  void Press(ConfigurationPage::Button button, const std::function<void(Dialog&)>& onTick = {}) {
    ui->StartModalClock([this, &onTick] {
      auto* dialog = page->findChild<Dialog*>();
      if (dialog != nullptr && dialog->isVisible() && onTick) onTick(*dialog);
    });
    page->ButtonAt(button).click();
    ui->StopModalClock();
    EXPECT_EQ(page->findChild<Dialog*>(), nullptr) << "the dialog outlived its button";
  }

  AppState& App() { return ui->window->App(); }
  std::uint32_t Traffic() const { return ui->model->Counters().commands + ui->model->Counters().polls; }

  TempFolder files;
  std::string configFolder = files / "configurations";
  std::unique_ptr<UiHarness> ui;
  ConfigurationPage* page = nullptr;
  std::vector<Offer> offers;
  // The chooser's answers in turn, then `answer` for every further one.
  std::vector<QString> answers;
  QString answer;
};

struct EnablingCase {
  const char* name;
  bool connected;
  std::uint16_t revision;
  bool closePort;
  const char* enabled;  // per button, top to bottom
  bool focusOnSave;
};

class ConfigurationEnabling : public ConfigurationPageTest, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(ConfigurationEnabling, OnlyAnIdentifiedAmplifierEnablesTheButtonsAndEditNeedsRevision0118) {
  const EnablingCase& c = GetParam();
  Open(c.revision, c.connected);
  if (c.closePort) {
    static_cast<ConnectionMachine*>(App().ConnectionMachine())->StartClosePort();
    ASSERT_TRUE(ui->RunUntil([this] { return App().portOpen.Get() == 0; }));
  }
  QString enabled;
  for (int b = 0; b < ConfigurationPage::kButtonCount; ++b) {
    enabled += page->ButtonAt(static_cast<ConfigurationPage::Button>(b)).isEnabled() ? '1' : '0';
  }
  EXPECT_EQ(enabled, QString::fromLatin1(c.enabled));
  if (c.focusOnSave) {
    EXPECT_TRUE(page->ButtonAt(ConfigurationPage::kSave).hasFocus());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigurationEnabling,
                         ::testing::Values(EnablingCase{"NoAmplifier", false, 123, false, "000000", false},
                                           EnablingCase{"Revision0117", true, 117, false, "011111", true},
                                           EnablingCase{"Revision0118", true, 118, false, "111111", false},
                                           EnablingCase{"PortClosedWhileShowing", true, 123, true, "000000", false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ConfigurationPageTest, CancellingTheRestoreFileDialogClosesTheRestoreWithNothingSent) {
  Open();
  ExpectAccessibleNames(*page);
  EXPECT_EQ(page->HelpTopic(), "Configuration.htm");
  const std::uint32_t before = Traffic();
  Press<RestoreConfigurationDialog>(ConfigurationPage::kRestore);
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].mode, ConfigurationFileMode::Open);
  EXPECT_EQ(offers[0].folder, ToQt(configFolder));
  EXPECT_EQ(Traffic(), before);
  EXPECT_TRUE(page->ButtonAt(ConfigurationPage::kRestore).isEnabled());
}

TEST_F(ConfigurationPageTest, SaveWritesTheChosenFileAndRestoringItPutsTheMemoryBack) {
  Open();
  const std::string path = configFolder + "/chosen.TOLAConfig";
  answer = ToQt(path);
  int highest = 0;
  bool checked = false;
  Press<SaveConfigurationDialog>(ConfigurationPage::kSave, [&](SaveConfigurationDialog& dialog) {
    EXPECT_EQ(dialog.Progress().maximum(), 17408);
    highest = std::max(highest, dialog.Progress().value());
    if (!checked) {
      checked = true;
      ExpectAccessibleNames(dialog);
    }
  });
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].mode, ConfigurationFileMode::Save);
  EXPECT_EQ(offers[0].folder, ToQt(configFolder));
  EXPECT_TRUE(offers[0].proposedName.startsWith("SN01234.")) << offers[0].proposedName.toStdString();
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(highest, 17408);
  EXPECT_EQ(ui->window->StatusText(), "Configuration was saved");

  std::uint8_t& byte = ui->model->Mem2()[256 + 0x10];  // bank 1, restorable
  const std::uint8_t saved = byte;
  byte = static_cast<std::uint8_t>(~saved);
  checked = false;
  bool asked = false;
  Press<RestoreConfigurationDialog>(ConfigurationPage::kRestore, [&](RestoreConfigurationDialog& dialog) {
    if (!checked) {
      checked = true;
      ExpectAccessibleNames(dialog);
    }
    // Escape while writing asks first; "No" lets the restore go on.
    if (!asked && dialog.Progress().value() > 0) {
      asked = true;
      ui->host.ExpectBox("Are you sure you wish to interrupt configuration restore?", BoxAnswer::No);
      QTest::keyClick(&dialog, Qt::Key_Escape);
      EXPECT_TRUE(dialog.isVisible());
    }
  });
  EXPECT_TRUE(asked);
  ASSERT_EQ(offers.size(), 2u);
  EXPECT_EQ(offers[1].mode, ConfigurationFileMode::Open);
  EXPECT_EQ(byte, saved);
  EXPECT_EQ(ui->window->StatusText(), "Configuration was restored");
}

// A folder that cannot be used, stored or typed, sends the save once more to the default folder.
struct UnusableFolderCase {
  const char* name;
  bool storedFolderGone;
  bool typedIntoMissingFolder;
};

class SaveUnusableFolder : public ConfigurationPageTest, public ::testing::WithParamInterface<UnusableFolderCase> {
 protected:
  void SetUp() override {
    const char* data = std::getenv("XDG_DATA_HOME");
    savedDataHome = data != nullptr ? std::optional<std::string>(data) : std::nullopt;
    setenv("XDG_DATA_HOME", (files / "data").c_str(), 1);
  }
  void TearDown() override {
    if (savedDataHome) {
      setenv("XDG_DATA_HOME", savedDataHome->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }
  std::optional<std::string> savedDataHome;
};

TEST_P(SaveUnusableFolder, TheNextFileDialogStartsInTheDefaultFolder) {
  const UnusableFolderCase& c = GetParam();
  Open();
  if (c.storedFolderGone) App().configurationFolder.Change(files / "gone");
  if (c.typedIntoMissingFolder) answers = {ToQt(files / "missing/typed.TOLAConfig")};
  const std::uint32_t before = Traffic();
  Press<SaveConfigurationDialog>(ConfigurationPage::kSave);
  QStringList folders;
  for (const Offer& offer : offers) folders.push_back(offer.folder);
  QStringList expected;
  if (c.typedIntoMissingFolder) expected.push_back(ToQt(configFolder));
  expected.push_back(ToQt(files / "data/Ostravel/TOLA Configuration"));
  EXPECT_EQ(FromQt(folders.join('|')), FromQt(expected.join('|')));
  EXPECT_EQ(Traffic(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveUnusableFolder,
                         ::testing::Values(UnusableFolderCase{"StoredFolderGone", true, false},
                                           UnusableFolderCase{"TypedIntoMissingFolder", false, true}),
                         [](const auto& param) { return std::string(param.param.name); });

QString Line(const FaultRow& row) {
  return ToQt(row.index + '\t' + row.faultCode + '\t' + row.timestamp + '\t' + row.frequency + '\t' +
              row.variableData + '\n');
}

TEST_F(ConfigurationPageTest, TheFaultTableListsNewestFirstAndCopiesSelectedRowsAsTabSeparatedLines) {
  Open();
  ui->model->AddFaultRecord('T', 14200, 80);
  ui->model->AddFaultRecord('S', 7100, 30);
  std::vector<FaultRow> rows;
  std::string codes;
  QString copied;  // what Ctrl+C put on the clipboard
  Press<FaultTableDialog>(ConfigurationPage::kFaults, [&](FaultTableDialog& dialog) {
    QTreeWidget& list = dialog.List();
    if (list.topLevelItemCount() < 3 || !rows.empty()) return;
    ExpectAccessibleNames(dialog);
    rows = dialog.Controller().Rows();
    for (int row = 0; row < 2; ++row) codes += FromQt(list.topLevelItem(row)->text(1)) + '|';
    // The third and the first, selected in that order, copy in list order.
    list.setFocus();
    list.topLevelItem(2)->setSelected(true);
    list.topLevelItem(0)->setSelected(true);
    QTest::keySequence(&list, QKeySequence::Copy);
    copied = QApplication::clipboard()->text();
    dialog.Button().click();
  });
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(codes, "S HI SWR|T HI TEMPERATURE|");
  EXPECT_EQ(FromQt(copied), FromQt(Line(rows[0]) + Line(rows[2])));
}

// The real chooser: a Qt file dialog in the given folder, with the configuration filter; the save
// proposes the name and asks before replacing, the open takes only an existing file.
TEST(ConfigurationFileChooserTest, TheFileDialogStartsInTheFolderAndReturnsTheAcceptedPath) {
  TempFolder folder;
  WriteWholeFile(folder / "old.TOLAConfig", "");
  struct Case {
    ConfigurationFileMode mode;
    const char* selected;  // typed into the dialog before accepting; null: the proposed name
    QFileDialog::AcceptMode acceptMode;
    QFileDialog::FileMode fileMode;
  };
  for (const Case& c : {Case{ConfigurationFileMode::Save, nullptr, QFileDialog::AcceptSave, QFileDialog::AnyFile},
                        Case{ConfigurationFileMode::Open, "old.TOLAConfig", QFileDialog::AcceptOpen,
                             QFileDialog::ExistingFile}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      seen = true;
      EXPECT_EQ(dialog->directory().absolutePath(), ToQt(folder.Path()));
      EXPECT_EQ(dialog->nameFilters(), QStringList({"TOLA Configuration File (*.TOLAConfig)", "All files (*)"}));
      EXPECT_EQ(dialog->defaultSuffix(), "TOLAConfig");
      EXPECT_EQ(dialog->acceptMode(), c.acceptMode);
      EXPECT_EQ(dialog->fileMode(), c.fileMode);
      EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
      if (c.selected != nullptr) dialog->selectFile(QString::fromLatin1(c.selected));
      static_cast<QDialog*>(dialog)->accept();  // the dialog's own checks run, as for its button
    });
    const QString chosen = ChooseConfigurationFile(nullptr, c.mode, ToQt(folder.Path()), "new.TOLAConfig");
    EXPECT_TRUE(seen);
    EXPECT_EQ(FromQt(chosen), folder / (c.selected != nullptr ? c.selected : "new.TOLAConfig"));
  }
}

}  // namespace
}  // namespace tola::test
