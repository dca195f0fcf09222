#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>

#include "app/StatusText.h"
#include "ui/UiText.h"
#include "support/TempFolder.h"
#include "UiChecks.h"
#include "UiHarness.h"

namespace tola {
namespace {

using test::UiHarness;
using test::UiSetup;

// A page that records what the main window hands it.
class RecordingPage : public Page {
 public:
  explicit RecordingPage(AppState& app) : Page(app) {}
  void Activated() override { ++activations; }
  void Deactivated() override { ++deactivations; }
  void OnSerialEvent() override { ++serialEvents; }
  void OnPageLogLine(const std::string& text) override { lines.push_back(text); }
  int activations = 0;
  int deactivations = 0;
  int serialEvents = 0;
  std::vector<std::string> lines;
};

TEST(MainWindowTest, StartPageNeedsASavedPortAndAValidIndex) {
  struct Row {
    const char* name;
    std::vector<std::string> settings;
    int page;
  };
  const Row rows[] = {
      {"first run", {}, kPagePort},
      {"saved page 4 with a port", {"\"Port\"=\"ttyNONE\"", "\"ActivePage\"=dword:00000004"}, kPageCommandTester},
      {"page 7 is no page", {"\"Port\"=\"ttyNONE\"", "\"ActivePage\"=dword:00000007"}, kPagePort},
      {"negative is no page", {"\"Port\"=\"ttyNONE\"", "\"ActivePage\"=dword:ffffffff"}, kPagePort},
      {"a page without a port", {"\"ActivePage\"=dword:00000002"}, kPagePort},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    UiSetup setup;
    setup.settings = row.settings;
    setup.connected = false;
    setup.ports = {"ttyNONE"};
    UiHarness h(setup);
    MainWindow& w = h.Open();
    EXPECT_EQ(w.Sheet().currentIndex(), row.page);
    EXPECT_EQ(w.Sheet().count(), kPageCount);
  }
}

TEST(MainWindowTest, APortTestShowsInTheTitleAndTheStatusBar) {
  UiSetup setup;
  // Started on the Command Tester, so that the Port page's own box stays out of this test.
  setup.settings = {"\"Port\"=\"ttySIM0\"", "\"ActivePage\"=dword:00000004"};
  UiHarness h(setup);
  MainWindow& w = h.Open();
  ASSERT_TRUE(h.RunUntilConnected());
  EXPECT_TRUE(w.windowTitle().endsWith(" - S/N 01234 on ttySIM0 at 38400 bit/s")) << FromQt(w.windowTitle());
  EXPECT_EQ(w.StatusText(), "TOLA revision 01.23. RS-232 speed 38400 bit/s");
  w.App().ClosePort();
  EXPECT_TRUE(w.windowTitle().endsWith(" on ttySIM0 closed")) << FromQt(w.windowTitle());
}

TEST(MainWindowTest, LogLinesReachTheStatusBarAndOnlyTheSelectedFirmwarePage) {
  UiSetup setup;
  setup.connected = false;
  RecordingPage* firmware = nullptr;
  setup.makePage = [&firmware](int tab, AppState& app) -> Page* {
    if (tab != kPageFirmware) return nullptr;
    firmware = new RecordingPage(app);
    return firmware;
  };
  UiHarness h(setup);
  MainWindow& w = h.Open();
  ASSERT_NE(firmware, nullptr);
  w.App().LogLine("on the Port page\r\nsecond line");
  EXPECT_EQ(w.StatusText(), "on the Port page second line");
  EXPECT_TRUE(firmware->lines.empty());

  // A long line is cut at the bar's end: the window keeps its width and the line stays in the bar.
  w.show();
  const QSize size = w.size();
  w.App().LogLine(std::string(400, 'x'));
  QApplication::processEvents();
  EXPECT_EQ(w.size(), size);
  const QLabel* line = w.findChild<QLabel*>("statusText");
  ASSERT_NE(line, nullptr);
  EXPECT_GT(line->width(), size.width() / 2);
  EXPECT_LE(line->mapTo(&w, QPoint(line->width(), line->height())).x(), size.width());
  EXPECT_GE(line->height(), line->fontMetrics().height());

  w.Sheet().setCurrentIndex(kPageFirmware);
  EXPECT_EQ(firmware->activations, 1);
  w.App().LogLine("on the Firmware page");
  w.App().LogVerbose("verbose, not shown");
  EXPECT_EQ(firmware->lines, std::vector<std::string>{"on the Firmware page"});
  EXPECT_EQ(w.StatusText(), "on the Firmware page");

  // With no machine running, a serial event goes to the selected page.
  h.host.Post([&w] { w.App().PostSerialEvent(1); });
  h.Run(20);
  EXPECT_EQ(firmware->serialEvents, 1);
  w.Sheet().setCurrentIndex(kPagePort);
  EXPECT_EQ(firmware->deactivations, 1);
}

TEST(MainWindowTest, VerboseLoggingStartsCheckedFromTheSettingsAndOneClickTurnsItOff) {
  UiSetup setup;
  setup.connected = false;
  setup.settings = {"\"VerboseLogging\"=dword:00000001"};
  UiHarness h(setup);
  MainWindow& w = h.Open();
  EXPECT_TRUE(w.VerboseAction()->isChecked());
  EXPECT_FALSE(w.TraceAction()->isChecked());
  w.VerboseAction()->trigger();
  EXPECT_FALSE(w.VerboseAction()->isChecked());
  EXPECT_EQ(w.App().verboseLogging.Get(), 0u);
  w.TraceAction()->trigger();
  EXPECT_EQ(w.App().trace.Get(), 1u);
  w.StatusBarAction()->trigger();
  EXPECT_TRUE(w.statusBar()->isHidden());
}

TEST(MainWindowTest, EveryControlOfEveryPageHasANameAScreenReaderCanSay) {
  UiSetup setup;
  setup.connected = false;
  UiHarness h(setup);
  MainWindow& w = h.Open();
  w.show();
  for (int tab = 0; tab < kPageCount; ++tab) {
    SCOPED_TRACE(tab);
    w.Sheet().setCurrentIndex(tab);
    test::ExpectAccessibleNames(w);
  }
}

TEST(MainWindowTest, AHighlightedMenuItemShowsItsPromptUntilTheMenuCloses) {
  UiSetup setup;
  setup.connected = false;
  UiHarness h(setup);
  MainWindow& w = h.Open();
  auto* label = w.findChild<QLabel*>("statusText");
  ASSERT_NE(label, nullptr);
  const QString before = label->text();
  QStatusTipEvent highlighted(QStringLiteral("Quit the application"));
  QApplication::sendEvent(&w, &highlighted);
  EXPECT_EQ(label->text(), "Quit the application");
  QStatusTipEvent left{QString()};
  QApplication::sendEvent(&w, &left);
  EXPECT_EQ(label->text(), before);
}

TEST(MainWindowTest, TheWindowKeepsItsMinimumAndClosingSavesPageAndPlacement) {
  UiSetup setup;
  setup.connected = false;
  setup.settings = {"\"Port\"=\"ttyNONE\""};
  setup.ports = {"ttyNONE"};
  UiHarness h(setup);
  QRect placed;
  {
    MainWindow& w = h.Open();
    w.show();
    const QSize minimum = w.MinimumWindowSize();
    EXPECT_EQ(w.minimumSize(), minimum);
    EXPECT_GE(minimum.width(), (w.Sheet().minimumSizeHint().width() * 105 + 50) / 100);
    EXPECT_GE(minimum.height(), (w.Sheet().minimumSizeHint().height() * 109 + 50) / 100);
    EXPECT_EQ(w.size(), minimum) << "with no placement saved the window opens at its minimum";
    w.resize(minimum.width() - 50, minimum.height() - 50);
    EXPECT_EQ(w.size(), minimum);
    w.setGeometry(QRect(w.geometry().topLeft() + QPoint(7, 9), minimum + QSize(40, 30)));
    placed = w.geometry();
    w.Sheet().setCurrentIndex(kPageOperate);
    w.close();
    h.window.reset();
  }
  EXPECT_NE(h.SavedSettings().find("\"ActivePage\"=dword:00000002"), std::string::npos) << h.SavedSettings();
  MainWindow& again = h.Open();
  again.show();
  EXPECT_EQ(again.geometry(), placed);
  EXPECT_EQ(again.Sheet().currentIndex(), kPageOperate);
}

}  // namespace
}  // namespace tola
