// The erase and reset dialogs and the "TOLA400 Configuration" sheet, wired to the amplifier model:
// the buttons reach the controllers, the boxes show what the amplifier holds, help opens.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWhatsThis>

#include "UiChecks.h"
#include "UiHarness.h"
#include "ui/dialogs/ConfigurationSheet.h"
#include "ui/dialogs/EraseMemoriesDialog.h"
#include "ui/dialogs/ResetConfigurationDialog.h"
#include "ui/help/HelpContexts.h"
#include "ui/help/HelpWindow.h"

namespace tola::test {
namespace {

// With TOLA_UI_SHOTS naming a folder, the windows are saved there as pictures to look at.
void SaveShot(QWidget& widget, const char* name) {
  const QString folder = qEnvironmentVariable("TOLA_UI_SHOTS");
  if (!folder.isEmpty()) widget.grab().save(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

QWidget* ShownPopup() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->inherits("QWhatsThat") && widget->isVisible()) return widget;
  }
  return nullptr;
}

class ConfigDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainWindow& window = ui.Open();
    ASSERT_TRUE(ui.RunUntilConnected());
    ASSERT_TRUE(ui.RunUntil([&] { return window.App().ConnectionMachine()->IsIdle(); }));
    window.Help().SetErrorBox([this](QWidget*, const QString& text) { helpErrors.push_back(text); });
  }

  AppState& App() { return ui.window->App(); }

  // Runs `dialog` modally; each turn of its loop calls the next step until one returns true.
  void RunModal(QDialog& dialog, std::vector<std::function<bool()>> steps) {
    std::size_t next = 0;
    ui.StartModalClock([&] {
      if (dialog.isVisible() && next < steps.size() && steps[next]()) ++next;
    });
    dialog.exec();
    ui.StopModalClock();
    EXPECT_EQ(next, steps.size()) << "the dialog closed before its last step";
  }

  static UiSetup WithPort() {
    UiSetup setup;
    setup.settings = {"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000003"};
    return setup;
  }

  UiHarness ui{WithPort()};
  std::vector<QString> helpErrors;
};

TEST_F(ConfigDialogsTest, EraseFollowsTheBandAndSendsTheChosenBandAndAntenna) {
  App().bandIndex.Change(3);
  EraseMemoriesDialog dialog(App(), ui.window.get());
  RunModal(dialog, {[&] {
                      EXPECT_EQ(dialog.windowTitle(), "Erase Antenna Tuner Memories");
                      EXPECT_TRUE(dialog.BandButton(3).isChecked());
                      App().bandIndex.Change(5);  // operate polling moved on
                      EXPECT_TRUE(dialog.BandButton(5).isChecked());
                      ExpectAccessibleNames(dialog);
                      SaveShot(dialog, "erase-memories");
                      dialog.BandButton(11).click();
                      dialog.AntennaButton(2).click();
                      return true;
                    },
                    [&] { return ui.model->MemoryErasures().size() == 1; },
                    [&] {
                      dialog.CloseButton().click();
                      return true;
                    }});
  EXPECT_EQ(App().bandIndex.Get(), 11u);
  EXPECT_EQ(App().antenna.Get(), 2u);
  ASSERT_EQ(ui.model->MemoryErasures().size(), 1u);
  EXPECT_EQ(ui.model->MemoryErasures()[0], std::make_pair(15u, 2u));
  EXPECT_EQ(ui.model->CountOf("^em152;"), 1u);
}

struct ResetCase {
  const char* name;
  bool reset;  // "Reset Configuration" rather than "Close"
};

class ResetDialogTest : public ConfigDialogsTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetDialogTest, EitherButtonClosesAtOnceAndOnlyResetSends) {
  ResetConfigurationDialog dialog(App(), ui.window.get());
  std::uint32_t clickedAt = 0;
  RunModal(dialog, {[&] {
    if (GetParam().reset) {
      ExpectAccessibleNames(dialog);
      SaveShot(dialog, "reset-configuration");
    }
    clickedAt = ui.host.TickCount();
    (GetParam().reset ? dialog.ResetButton() : dialog.CloseButton()).click();
    return true;
  }});
  EXPECT_EQ(ui.host.TickCount(), clickedAt) << "the dialog waited before closing";
  ui.Run(200);
  EXPECT_EQ(ui.model->CountOf("^ec;"), GetParam().reset ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Buttons, ResetDialogTest,
                         ::testing::Values(ResetCase{"Reset", true}, ResetCase{"Close", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ConfigDialogsTest, SheetShowsTheAmplifiersStringAppliesClicksAndOpensItsHelp) {
  const std::string initial = ui.model->AntennaEnable();
  ASSERT_EQ(initial, "33311111122") << "the model's starting string changed: the mixed boxes below need one";
  ConfigurationSheet sheet(App(), ui.window->Help(), ui.window.get());
  RunModal(
      sheet,
      {[&] { return App().antennaEnable.Get() == initial; },
       [&] {
         EXPECT_EQ(sheet.windowTitle(), "TOLA400 Configuration");
         EXPECT_EQ(sheet.Tabs().tabText(0), "Enable Antennas");
         for (unsigned band = 0; band < kBandCount; ++band) {
           SCOPED_TRACE(band);
           const int digit = initial[band] - '0';
           EXPECT_EQ(sheet.BandBox(band, 1).isChecked(), (digit & 1) != 0);
           EXPECT_EQ(sheet.BandBox(band, 2).isChecked(), (digit & 2) != 0);
         }
         EXPECT_EQ(sheet.AllBandsBox(1).checkState(), Qt::PartiallyChecked);
         EXPECT_EQ(sheet.AllBandsBox(2).checkState(), Qt::PartiallyChecked);
         EXPECT_FALSE(sheet.ApplyButton().isEnabled());
         ExpectAccessibleNames(sheet);
         SaveShot(sheet, "configuration-sheet");

         // Mixed -> all ANT 1; then, being checked, it hands every band to ANT 2 alone.
         sheet.AllBandsBox(1).click();
         EXPECT_EQ(sheet.AllBandsBox(1).checkState(), Qt::Checked);
         sheet.AllBandsBox(1).click();
         EXPECT_EQ(sheet.AllBandsBox(1).checkState(), Qt::Unchecked);
         EXPECT_EQ(sheet.AllBandsBox(2).checkState(), Qt::Checked);
         EXPECT_TRUE(sheet.BandBox(10, 2).isChecked());
         EXPECT_TRUE(sheet.ApplyButton().isEnabled());
         sheet.ApplyButton().click();
         return true;
       },
       [&] { return ui.model->AntennaEnable() == "22222222222" && !sheet.ApplyButton().isEnabled(); },
       [&] {
         const std::function<void()> askForHelp[] = {[&] { sheet.HelpButton().click(); },
                                                     [&] { QTest::keyClick(&sheet.BandBox(2, 2), Qt::Key_F1); }};
         for (const auto& ask : askForHelp) {
           ui.window->Help().ShowContents();
           ui.window->Help().close();
           ask();
           EXPECT_TRUE(ui.window->Help().isVisible());
           EXPECT_EQ(ui.window->Help().CurrentTopic(), "Configuration.htm#Edit");
           // Lent to the open sheet, so that the modal sheet does not block it.
           EXPECT_EQ(ui.window->Help().parentWidget(), &sheet);
         }
         ui.window->Help().close();

         // Each box carries the pop-up text of its kind, and Shift+F1 on a box shows it.
         const std::pair<QCheckBox*, unsigned> contexts[] = {{&sheet.AllBandsBox(1), kHelpAllBandsAnt1},
                                                             {&sheet.AllBandsBox(2), kHelpAllBandsAnt2},
                                                             {&sheet.BandBox(0, 1), kHelpBandAnt1},
                                                             {&sheet.BandBox(10, 2), kHelpBandAnt2}};
         for (const auto& [box, context] : contexts) {
           SCOPED_TRACE(box->text().toStdString());
           EXPECT_EQ(box->property(ConfigurationSheet::kHelpContextProperty).toUInt(), context);
         }
         QTest::keyClick(&sheet.BandBox(4, 2), Qt::Key_F1, Qt::ShiftModifier);
         QWidget* popup = ShownPopup();
         EXPECT_NE(popup, nullptr);
         if (popup != nullptr) SaveShot(*popup, "configuration-popup");
         QWhatsThis::hideText();

         // A change, then Escape: the controller asks, and "No" closes without sending.
         sheet.BandBox(0, 1).click();
         ui.host.ExpectBox("Do you want to save the changes?", BoxAnswer::No);
         QTest::keyClick(&sheet, Qt::Key_Escape);
         return true;
       }});
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_EQ(ui.window->Help().parentWidget(), ui.window.get()) << "the help went back to the main window";
  EXPECT_EQ(ui.model->AntennaEnable(), "22222222222");
  EXPECT_TRUE(helpErrors.empty());
}

}  // namespace
}  // namespace tola::test
