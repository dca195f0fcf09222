#pragma once
// The desktop program's one top-level window and its composition root: it owns the AppState with
// the serial port and the settings store, the tab sheet with the five pages, the menu, the status
// bar and the title, and routes timers, serial events and log lines.

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "dialogue/Routing.h"
#include "serial/PortDiscovery.h"
#include "ui/ValueBinding.h"

class QAction;
class QLabel;
class QTabWidget;

namespace tola {

class HelpWindow;
class Page;
class ReleaseNotesWindow;

enum PageIndex : int {
  kPagePort = 0,
  kPageFirmware = 1,
  kPageOperate = 2,
  kPageConfiguration = 3,
  kPageCommandTester = 4,
  kPageCount = 5
};

class MainWindow : public QMainWindow, private LogSink {
  Q_OBJECT

 public:
  struct Options {
    // The ports the Port page offers; the computer's own when not set.
    std::function<std::vector<PortInfo>()> listPorts;
    // Tests put a page of their own at a tab (null: the program's page).
    std::function<Page*(int tab, AppState& app)> makePage;
  };

  // `store` may be null (no settings kept).
  MainWindow(Host& host, std::unique_ptr<CSerialPort> port, std::unique_ptr<RegistryStore> store,
             Options options = {});
  ~MainWindow() override;

  AppState& App() { return *m_app; }
  QTabWidget& Sheet() { return *m_sheet; }
  Page* PageAt(int tab) const;
  QString StatusText() const;
  // The smallest size the window may take; known once the window has been shown.
  QSize MinimumWindowSize() const { return m_minimumSize; }
  HelpWindow& Help();

  // The File, View and Help items, for the tests and the screenshot script.
  QAction* StatusBarAction() const { return m_statusBarAction; }
  QAction* TraceAction() const { return m_traceAction; }
  QAction* VerboseAction() const { return m_verboseAction; }

  void ShowAbout();
  void ShowReleaseNotes();
  ReleaseNotesWindow* ReleaseNotes() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void OnLogLine(const std::string& text, bool verbose) override;
  void BuildMenu();
  void BuildSheet();
  void SelectStartPage();
  void OnTabChanged(int index);
  void UpdateTitle();
  void UpdateStatusText();
  void SetStatusText(const QString& text);
  void FirstShow();
  void ShutDown();
  void ShowHelpForCurrentPage();
  void OnPortLost();

  Options m_options;
  std::unique_ptr<AppState> m_app;
  std::optional<EventRouter> m_router;
  QTabWidget* m_sheet = nullptr;
  std::vector<Page*> m_pages;
  Page* m_activePage = nullptr;
  QLabel* m_statusLabel = nullptr;
  QString m_statusText;  // what the bar shows when no menu item is highlighted
  QAction* m_statusBarAction = nullptr;
  QAction* m_traceAction = nullptr;
  QAction* m_verboseAction = nullptr;
  QSize m_minimumSize;
  bool m_shownOnce = false;
  bool m_shutDown = false;
  // The operator agreed to end a firmware load by closing the window: it closes once the load has.
  bool m_closeAfterSend = false;
  HelpWindow* m_help = nullptr;
  QPointer<ReleaseNotesWindow> m_releaseNotes;
  std::vector<std::unique_ptr<ValueBinding>> m_bindings;
};

}  // namespace tola
