#pragma once
// The main window on a virtual clock, wired to the amplifier model through the simulated port, with
// its settings in a hive file of the test's own: a whole port test runs in milliseconds.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTabWidget>
#include <QTimer>
#include <QtTest/QTest>

#include <memory>
#include <string>
#include <vector>

#include "platform/HiveFileStore.h"
#include "platform/VirtualHost.h"
#include "sim/SimClock.h"
#include "sim/SimulatedSerialPort.h"
#include "sim/Tola400Model.h"
#include "support/TempFolder.h"
#include "ui/MainWindow.h"
#include "ui/pages/Page.h"

namespace tola::test {

struct UiSetup {
  // Lines of the settings key, e.g. "\"Port\"=\"ttySIM0\"" or "\"ActivePage\"=dword:00000004".
  std::vector<std::string> settings;
  Tola400Options model;
  bool connected = true;  // false: nothing at the other end of the line
  std::vector<std::string> ports{"ttySIM0"};
  std::function<Page*(int tab, AppState& app)> makePage;
};

inline std::string HiveText(const std::vector<std::string>& lines) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class UiHarness {
 public:
  explicit UiHarness(UiSetup setup = {}) : clock(host), model(std::make_unique<Tola400Model>(clock, setup.model)) {
    hivePath = folder / "settings.reg";
    WriteWholeFile(hivePath, HiveText(setup.settings));
    host.SetUnexpectedBoxHandler([](const VirtualHost::BoxRecord& box) {
      ADD_FAILURE() << "unexpected message box \"" << box.caption << "\": " << box.text;
    });
    ports = setup.ports;
    makePage = std::move(setup.makePage);
    connected = setup.connected;
  }
  ~UiHarness() {
    StopModalClock();
    window.reset();
    EXPECT_TRUE(host.AllBoxesShown()) << "a scripted message box never appeared";
  }

  // Builds the window (and starts its port test). Boxes the start shows must be scripted first.
  MainWindow& Open() {
    auto simPort = std::make_unique<SimulatedSerialPort>(host, connected ? model.get() : nullptr);
    port = simPort.get();
    auto store = std::make_unique<HiveFileStore>(hivePath);
    MainWindow::Options options;
    options.listPorts = [this] {
      std::vector<PortInfo> infos;
      for (const std::string& name : ports) infos.push_back(PortInfo{name, "tola400-sim", "", "", "", "", name});
      return infos;
    };
    options.makePage = makePage;
    window = std::make_unique<MainWindow>(host, std::move(simPort), std::move(store), std::move(options));
    return *window;
  }

  // Builds the window and shows it as the active window, as an operator sees it; false when it
  // never became active.
  bool OpenShown() {
    MainWindow& shown = Open();
    shown.show();
    shown.activateWindow();
    return QTest::qWaitForWindowActive(&shown);
  }

  // Virtual time passes; Qt's own events are handled on the way.
  void Run(std::uint32_t ms) {
    for (std::uint32_t done = 0; done < ms; done += 10) {
      host.AdvanceBy(10);
      QApplication::processEvents();
    }
  }
  bool RunUntil(const std::function<bool()>& done, std::uint32_t limitMs = 60000) {
    for (std::uint32_t spent = 0; spent < limitMs; spent += 10) {
      if (done()) return true;
      host.AdvanceBy(10);
      QApplication::processEvents();
    }
    return done();
  }
  bool RunUntilConnected(std::uint32_t limitMs = 60000) {
    return RunUntil([this] { return window->App().ConnectionState() != kConnectionNone; }, limitMs);
  }

  // A modal dialog runs an event loop of its own: while the modal clock runs, every turn of
  // whichever loop is running advances the virtual clock by 10 ms and then calls `onTick`. A modal
  // dialog still open after `limitMs` of virtual time fails the test and is ended, so that a dialog
  // that never closes cannot hang the run.
  void StartModalClock(std::function<void()> onTick = {}, std::uint32_t limitMs = 120000) {
    modalTick = std::move(onTick);
    modalDeadline = host.TickCount() + limitMs;
    if (!modalClock) {
      modalClock = std::make_unique<QTimer>();
      modalClock->setInterval(0);
      QObject::connect(modalClock.get(), &QTimer::timeout, [this] {
        host.AdvanceBy(10);
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            modal != nullptr && static_cast<std::int32_t>(host.TickCount() - modalDeadline) > 0) {
          ADD_FAILURE() << "modal dialog \"" << modal->windowTitle().toStdString() << "\" never closed";
          modal->done(2);
          return;
        }
        if (modalTick) modalTick();
      });
    }
    modalClock->start();
  }
  void StopModalClock() {
    if (modalClock) modalClock->stop();
    modalTick = nullptr;
  }

  std::string SavedSettings() const { return ReadWholeFile(hivePath); }

  VirtualHost host;
  VirtualHostClock clock;
  std::unique_ptr<Tola400Model> model;
  SimulatedSerialPort* port = nullptr;
  TempFolder folder;
  std::string hivePath;
  std::vector<std::string> ports;
  std::function<Page*(int tab, AppState& app)> makePage;
  bool connected = true;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<QTimer> modalClock;
  std::function<void()> modalTick;
  std::uint32_t modalDeadline = 0;
};

}  // namespace tola::test
