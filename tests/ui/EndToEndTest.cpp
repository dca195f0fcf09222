// The real window on QtHost and the Linux serial port against tola400-sim over a pseudo-terminal.

#include <gtest/gtest.h>

#include <filesystem>

#include <QAbstractButton>
#include <QCheckBox>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "platform/HiveFileStore.h"
#include "serial/CSerialPort.h"
#include "support/ChildProcess.h"
#include "support/FirmwareHex.h"
#include "support/TempFolder.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/UiText.h"
#include "ui/dialogs/SendingFirmwareDialog.h"
#include "ui/pages/FirmwarePage.h"
#include "ui/pages/OperatePage.h"
#include "ui/widgets/ActivityLog.h"
#include "UiChecks.h"
#include "UiHarness.h"

namespace tola {
namespace {

// Connecting finds the speed over a real line: more time than the default.
bool SpinUntil(const std::function<bool()>& done, int limitMs = 15000) { return test::SpinUntil(done, limitMs); }

class WindowEndToEnd : public ::testing::Test {
 protected:
  // Starts the simulator with `args`; the window then opens on the settings `lines` plus its port.
  MainWindow& Open(const std::vector<std::string>& args, std::vector<std::string> lines) {
    std::vector<std::string> argv{TOLA400_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    m_sim = std::make_unique<test::ChildProcess>(argv, std::map<std::string, std::string>{{"XDG_RUNTIME_DIR", m_runtime.path}});
    std::string name;
    EXPECT_TRUE(m_sim->ReadLine(name));
    m_port = name;
    lines.push_back("\"Port\"=\"" + name + "\"");
    test::WriteWholeFile(m_hive, test::HiveText(lines));
    m_window = std::make_unique<MainWindow>(m_host, MakeSystemSerialPort(m_host),
                                            std::make_unique<HiveFileStore>(m_hive));
    m_window->show();
    return *m_window;
  }

  // Answers the core's boxes as they open, keeping their texts.
  void AnswerBoxes() {
    m_boxTimer.setInterval(10);
    QObject::connect(&m_boxTimer, &QTimer::timeout, [this] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box == nullptr || !box->isVisible()) continue;
        boxes.push_back(FromQt(box->text()));
        box->button(QMessageBox::Ok)->click();
      }
    });
    m_boxTimer.start();
  }

  void TearDown() override {
    m_window.reset();
    if (m_sim) m_sim->Stop();
  }

  test::TempRuntimeDir m_runtime;
  test::ScopedEnv m_runtimeEnv{"XDG_RUNTIME_DIR", m_runtime.path};
  std::string m_hive = m_runtime.path + "/settings.reg";
  QtHost m_host;
  std::unique_ptr<test::ChildProcess> m_sim;
  std::string m_port;
  std::unique_ptr<MainWindow> m_window;
  QTimer m_boxTimer;
  std::vector<std::string> boxes;
};

TEST_F(WindowEndToEnd, StartsConnectedFindsTheSpeedAndTheCommandTesterTalksToTheAmplifier) {
  AnswerBoxes();
  MainWindow& window = Open({"--speed", "9600", "--serial", "42"}, {});
  ASSERT_TRUE(SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }));
  EXPECT_TRUE(window.windowTitle().endsWith(ToQt(" - S/N 00042 on " + m_port + " at 9600 bit/s")))
      << FromQt(window.windowTitle());
  ASSERT_TRUE(SpinUntil([&] { return !boxes.empty(); })) << "the Port page reports the test";
  EXPECT_EQ(boxes.front(), "TOLA revision 01.23. RS-232 speed 9600 bit/s");

  window.Sheet().setCurrentIndex(kPageCommandTester);
  QWidget* page = window.PageAt(kPageCommandTester);
  auto* box = page->findChild<QLineEdit*>();
  auto* output = page->findChild<QPlainTextEdit*>();
  ASSERT_TRUE(box && output);
  box->setText("^RV;");
  EXPECT_TRUE(SpinUntil([&] { return output->toPlainText() == "^RV;\n^RV01.23;"; }, 5000))
      << FromQt(output->toPlainText());

  window.close();
  m_window.reset();
  const std::string saved = test::ReadWholeFile(m_hive);
  EXPECT_NE(saved.find("\"ActivePage\"=dword:00000004"), std::string::npos) << saved;
}

TEST_F(WindowEndToEnd, AnAmplifierThatGoesAwayLeavesTheWindowSayingSo) {
  AnswerBoxes();
  MainWindow& window = Open({"--speed", "38400"}, {"\"ActivePage\"=dword:00000004"});
  ASSERT_TRUE(SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }));
  m_sim->Stop(SIGKILL);
  m_sim.reset();
  EXPECT_TRUE(SpinUntil([&] { return window.App().PortLost(); }, 5000));
  EXPECT_TRUE(SpinUntil([&] { return window.windowTitle().endsWith(ToQt(" on " + m_port + " closed")); }, 5000))
      << FromQt(window.windowTitle());
  EXPECT_TRUE(window.StatusText().startsWith(ToQt("Serial port " + m_port + " went away."))) << FromQt(window.StatusText());
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(WindowEndToEnd, TheFirmwarePageLoadsFirmwareAndTheDialogClosesOnceTheRevisionIsVerified) {
  AnswerBoxes();
  const std::string folder = m_runtime.path + "/firmware";
  std::filesystem::create_directory(folder);
  test::WriteWholeFile(folder + "/tola400fw0124.hex", test::WindowToIntelHex(test::MakeFirmwareWindow(0x1000, 3)));
  MainWindow& window = Open({"--speed", "38400", "--revision-after-load", "01.24"},
                            {"\"ActivePage\"=dword:00000001", "\"FirmwareFolder\"=\"" + folder + "\""});
  auto* page = qobject_cast<FirmwarePage*>(window.PageAt(kPageFirmware));
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(SpinUntil([&] { return window.App().ConnectionState() == kConnectionFirmware; }));
  ASSERT_TRUE(page->SendButton().isEnabled());

  // A load that never ends must not hang the test: its dialog is closed after a minute.
  bool dialogSeen = false;
  QTimer watch;
  watch.setInterval(50);
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* dialog = page->findChild<SendingFirmwareDialog*>();
    if (dialog == nullptr) return;
    dialogSeen = true;
    if (clock.elapsed() > 60000) dialog->done(2);
  });
  watch.start();
  page->SendButton().click();  // returns once the dialog has closed
  watch.stop();

  EXPECT_TRUE(dialogSeen);
  EXPECT_LT(clock.elapsed(), 60000);
  EXPECT_TRUE(SpinUntil([&] { return page->InstalledLabel().text() == "01.24"; })) << FromQt(page->InstalledLabel().text());
  const QString log = page->Log().toPlainText();
  EXPECT_TRUE(log.contains("TOLA400 firmware load is complete")) << FromQt(log);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(WindowEndToEnd, TheOperatePageShowsTheAmplifierLiveAndAClickReachesIt) {
  AnswerBoxes();
  const std::string log = m_runtime.path + "/traffic.log";
  MainWindow& window = Open({"--speed", "38400", "--log", log}, {"\"ActivePage\"=dword:00000002"});
  auto* page = qobject_cast<OperatePage*>(window.PageAt(kPageOperate));
  ASSERT_NE(page, nullptr);
  auto* band = page->findChild<QLineEdit*>("band");
  auto* tuneStatus = page->findChild<QLabel*>("tuneStatus");
  auto* attenuator = page->findChild<QCheckBox*>("attenuator");
  ASSERT_TRUE(band && tuneStatus && attenuator);
  // The simulator reports band 5 and a tune status; both arrive with the first cycles.
  ASSERT_TRUE(SpinUntil([&] { return band->text() == "20" && !tuneStatus->text().isEmpty(); }))
      << FromQt(band->text());
  ASSERT_TRUE(attenuator->isEnabled());
  ASSERT_FALSE(attenuator->isChecked());

  attenuator->click();
  EXPECT_TRUE(SpinUntil([&] { return test::ReadWholeFile(log).find("^at1;") != std::string::npos; }, 5000));
  // The amplifier's own answer ticks it from then on.
  EXPECT_TRUE(SpinUntil([&] { return window.App().attenuator.Get() == '1' && attenuator->isChecked(); }, 5000));
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

}  // namespace
}  // namespace tola
